#include "platform/InternetSession.h"

bool TInternetConnection::FtpSetCurrentDirectory(const QString&) {
    return false;
}
std::optional<qint64> TInternetConnection::FtpFindFile(const QString&, quint32) {
    return std::nullopt;
}
std::unique_ptr<TInternetRequest> TInternetConnection::FtpOpenFile(const QString&) {
    return nullptr;
}
QString TInternetConnection::LastResponseInfo() const {
    return QString();
}
int TInternetConnection::LastError() const {
    return 0;
}

namespace {
TInternet* installed = nullptr;
}

TInternet& Internet() {
    return installed ? *installed : SystemInternet();
}
void SetInternet(TInternet* internet) {
    installed = internet;
}
