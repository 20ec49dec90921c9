#pragma once
// Scripted Internet facility for tests: answers from a table instead of the network and records
// every request. FTP connections serve the same table by file name.
#include "platform/InternetSession.h"

#include <QMap>
#include <QStringList>

struct TFakeResponse {
    int Status = 200;
    QByteArray Body;
    qint64 Length = -2; // -2: the body's size, -1: no length announced
    int FailAfter = -1; // bytes after which a read fails; -1: never
};

class TFakeInternet : public TInternet {
public:
    QMap<QString, TFakeResponse> Responses; // by URL (HTTP) or by file name (FTP)
    QStringList Requests; // "GET url", "HEADERS text", "CD dir", "FIND name", "OPEN name", "POST url"
    bool OpenFails = false;
    bool DialSucceeds = false;
    int Dials = 0;
    int Hangups = 0;

    bool Autodial(bool) override {
        ++Dials;
        return DialSucceeds;
    }
    void AutodialHangup() override { ++Hangups; }
    std::unique_ptr<TInternetSession> Open(const QString& agent, const QString& proxy) override;
};

// Installs a fake for the life of a scope.
struct TFakeInternetScope {
    TFakeInternet internet;
    TFakeInternetScope() { SetInternet(&internet); }
    ~TFakeInternetScope() { SetInternet(nullptr); }
};
