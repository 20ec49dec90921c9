#include "platform/fake/FakeInternet.h"

#include <cstring>

namespace {

class TFakeRequest : public TInternetRequest {
public:
    explicit TFakeRequest(const TFakeResponse& r) : FResponse(r) {}
    int StatusCode() const override { return FResponse.Status; }
    qint64 ContentLength() const override {
        return FResponse.Length == -2 ? FResponse.Body.size() : FResponse.Length;
    }
    qint64 Read(char* buffer, qint64 maxSize) override {
        if (FResponse.FailAfter >= 0 && FPos >= FResponse.FailAfter)
            return -1;
        qint64 n = std::min<qint64>(maxSize, FResponse.Body.size() - FPos);
        if (FResponse.FailAfter >= 0)
            n = std::min<qint64>(n, FResponse.FailAfter - FPos);
        memcpy(buffer, FResponse.Body.constData() + FPos, size_t(n));
        FPos += n;
        return n;
    }

private:
    TFakeResponse FResponse;
    qint64 FPos = 0;
};

class TFakeFtp : public TInternetConnection {
public:
    explicit TFakeFtp(TFakeInternet& owner) : FOwner(owner) {}
    std::unique_ptr<TInternetRequest> OpenUrl(const QString&, const QString&, quint32) override {
        return nullptr;
    }
    bool FtpSetCurrentDirectory(const QString& dir) override {
        FOwner.Requests << "CD " + dir;
        return true;
    }
    std::optional<qint64> FtpFindFile(const QString& name, quint32) override {
        FOwner.Requests << "FIND " + name;
        if (!FOwner.Responses.contains(name))
            return std::nullopt;
        return FOwner.Responses[name].Body.size();
    }
    std::unique_ptr<TInternetRequest> FtpOpenFile(const QString& name) override {
        FOwner.Requests << "OPEN " + name;
        if (!FOwner.Responses.contains(name))
            return nullptr;
        return std::make_unique<TFakeRequest>(FOwner.Responses[name]);
    }

private:
    TFakeInternet& FOwner;
};

class TFakeSession : public TInternetSession {
public:
    explicit TFakeSession(TFakeInternet& owner) : FOwner(owner) {}
    std::unique_ptr<TInternetRequest> OpenUrl(const QString& url, const QString& headers, quint32) override {
        FOwner.Requests << "GET " + url;
        if (!headers.isEmpty())
            FOwner.Requests << "HEADERS " + headers;
        if (!FOwner.Responses.contains(url))
            return nullptr;
        return std::make_unique<TFakeRequest>(FOwner.Responses[url]);
    }
    std::unique_ptr<TInternetConnection> ConnectFtp(const QString&, int, const QString&, const QString&,
                                                    bool) override {
        return std::make_unique<TFakeFtp>(FOwner);
    }
    std::unique_ptr<TInternetRequest> HttpPost(const QString& server, int port, const QString& action,
                                               const QString&, const QByteArray&) override {
        const QString url = QStringLiteral("http://%1:%2/%3").arg(server).arg(port).arg(action);
        FOwner.Requests << "POST " + url;
        if (!FOwner.Responses.contains(url))
            return nullptr;
        return std::make_unique<TFakeRequest>(FOwner.Responses[url]);
    }

private:
    TFakeInternet& FOwner;
};

} // namespace

std::unique_ptr<TInternetSession> TFakeInternet::Open(const QString&, const QString&) {
    if (OpenFails)
        return nullptr;
    return std::make_unique<TFakeSession>(*this);
}
