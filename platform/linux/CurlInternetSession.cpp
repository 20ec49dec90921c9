// Internet access through libcurl. A request runs on a multi handle that is driven only while
// the caller waits for the headers or reads, so reading stays synchronous and block by block.
#include "platform/InternetSession.h"

#include <QStringList>
#include <cstring>
#include <curl/curl.h>
#include <vector>

namespace {

constexpr qsizetype MaxBuffered = 256 * 1024; // received but not yet read
constexpr long ConnectTimeoutSeconds = 30;
constexpr long StallSeconds = 60; // a transfer without one byte for this long fails

void GlobalInit() {
    static const bool done = [] {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        return true;
    }();
    (void)done;
}

struct TRequestOptions {
    QString Agent;
    QString Proxy;
    QString Headers;
    quint32 Flags = 0;
    bool Ftp = false;
    bool ActiveFtp = false;
    QString User, Password; // FTP log-in
    bool NoBody = false;
    bool Post = false;
    QByteArray Body;
};

class TCurlRequest : public TInternetRequest {
public:
    ~TCurlRequest() override {
        if (FEasy) {
            curl_multi_remove_handle(FMulti, FEasy);
            curl_easy_cleanup(FEasy);
        }
        if (FMulti)
            curl_multi_cleanup(FMulti);
        curl_slist_free_all(FHeaders);
    }

    // Starts the request and waits for the response headers; false when no response came.
    bool Open(const QString& url, const TRequestOptions& o, QString* errorText) {
        GlobalInit();
        FMulti = curl_multi_init();
        FEasy = curl_easy_init();
        if (!FMulti || !FEasy)
            return false;
        FUrl = url.toUtf8();
        curl_easy_setopt(FEasy, CURLOPT_URL, FUrl.constData());
        curl_easy_setopt(FEasy, CURLOPT_ERRORBUFFER, FError);
        curl_easy_setopt(FEasy, CURLOPT_PROTOCOLS_STR, "http,https,ftp");
        curl_easy_setopt(FEasy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(FEasy, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(FEasy, CURLOPT_MAXREDIRS, 10L);
        curl_easy_setopt(FEasy, CURLOPT_CONNECTTIMEOUT, ConnectTimeoutSeconds);
        curl_easy_setopt(FEasy, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(FEasy, CURLOPT_LOW_SPEED_TIME, StallSeconds);
        curl_easy_setopt(FEasy, CURLOPT_NOSIGNAL, 1L);
        FAgent = o.Agent.toUtf8();
        if (!FAgent.isEmpty())
            curl_easy_setopt(FEasy, CURLOPT_USERAGENT, FAgent.constData());
        FProxy = o.Proxy.toUtf8();
        if (!FProxy.isEmpty())
            curl_easy_setopt(FEasy, CURLOPT_PROXY, FProxy.constData());
        // Local addresses never go through a proxy.
        curl_easy_setopt(FEasy, CURLOPT_NOPROXY, "localhost,127.0.0.1,::1");

        for (const QString& line : o.Headers.split("\r\n", Qt::SkipEmptyParts))
            FHeaders = curl_slist_append(FHeaders, line.toUtf8().constData());
        if (o.Flags & (irfReload | irfNoCacheWrite))
            FHeaders = curl_slist_append(FHeaders, "Cache-Control: no-cache");
        if (o.Flags & irfPragmaNoCache)
            FHeaders = curl_slist_append(FHeaders, "Pragma: no-cache");
        if (FHeaders && !o.Ftp)
            curl_easy_setopt(FEasy, CURLOPT_HTTPHEADER, FHeaders);

        if (o.Ftp) {
            FFtp = true;
            if (!o.User.isEmpty() || !o.Password.isEmpty()) {
                FUser = o.User.toUtf8();
                FPassword = o.Password.toUtf8();
                curl_easy_setopt(FEasy, CURLOPT_USERNAME, FUser.constData());
                curl_easy_setopt(FEasy, CURLOPT_PASSWORD, FPassword.constData());
            }
            if (o.ActiveFtp)
                curl_easy_setopt(FEasy, CURLOPT_FTPPORT, "-");
        }
        if (o.NoBody)
            curl_easy_setopt(FEasy, CURLOPT_NOBODY, 1L);
        if (o.Post) {
            FBody = o.Body;
            curl_easy_setopt(FEasy, CURLOPT_POSTFIELDS, FBody.constData());
            curl_easy_setopt(FEasy, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(FBody.size()));
        }

        curl_easy_setopt(FEasy, CURLOPT_WRITEFUNCTION, &TCurlRequest::WriteCallback);
        curl_easy_setopt(FEasy, CURLOPT_WRITEDATA, this);
        curl_easy_setopt(FEasy, CURLOPT_HEADERFUNCTION, &TCurlRequest::HeaderCallback);
        curl_easy_setopt(FEasy, CURLOPT_HEADERDATA, this);
        curl_multi_add_handle(FMulti, FEasy);

        while (!FHeadersDone && !FDone)
            Pump();
        if (FDone && FResult != CURLE_OK && !FHeadersDone && Available() == 0) {
            if (errorText)
                *errorText = QString::fromUtf8(FError[0] ? FError : curl_easy_strerror(FResult));
            return false;
        }
        long code = 0;
        curl_easy_getinfo(FEasy, CURLINFO_RESPONSE_CODE, &code);
        FStatus = FFtp ? 0 : int(code);
        curl_off_t length = -1;
        curl_easy_getinfo(FEasy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
        FLength = length;
        return true;
    }

    int StatusCode() const override { return FStatus; }
    qint64 ContentLength() const override { return FLength; }

    qint64 Read(char* buffer, qint64 maxSize) override {
        while (Available() < maxSize && !FDone) {
            if (FPaused) {
                FPaused = false;
                curl_easy_pause(FEasy, CURLPAUSE_CONT);
                if (Available() >= maxSize)
                    break;
            }
            Pump();
        }
        const qint64 n = std::min<qint64>(maxSize, Available());
        if (n == 0)
            return FDone && FResult != CURLE_OK ? -1 : 0;
        memcpy(buffer, FBuffer.data() + FPos, size_t(n));
        FPos += n;
        return n;
    }

private:
    qsizetype Available() const { return FEnd - FPos; }

    // Appends behind the unread bytes. The buffer is allocated once and reused: the unread rest
    // (mostly less than one read, as libcurl is driven only when a read finds too little) moves
    // to the front, instead of memory being given back and faulted in anew for every chunk.
    void Append(const char* data, qsizetype n) {
        if (FEnd + n > qsizetype(FBuffer.size())) {
            const qsizetype unread = Available();
            memmove(FBuffer.data(), FBuffer.data() + FPos, size_t(unread));
            FPos = 0;
            FEnd = unread;
            if (FEnd + n > qsizetype(FBuffer.size()))
                FBuffer.resize(size_t(FEnd + n));
        }
        memcpy(FBuffer.data() + FEnd, data, size_t(n));
        FEnd += n;
    }

    void Pump() {
        int running = 0;
        curl_multi_perform(FMulti, &running);
        int queued = 0;
        while (CURLMsg* msg = curl_multi_info_read(FMulti, &queued)) {
            if (msg->msg == CURLMSG_DONE) {
                FDone = true;
                FResult = msg->data.result;
            }
        }
        if (!FDone && !FPaused)
            curl_multi_poll(FMulti, nullptr, 0, 1000, nullptr);
        else if (!FDone && FPaused && running == 0)
            FDone = true;
    }

    static size_t WriteCallback(char* data, size_t size, size_t count, void* user) {
        auto* self = static_cast<TCurlRequest*>(user);
        const size_t n = size * count;
        self->FHeadersDone = true;
        if (self->Available() > MaxBuffered) {
            self->FPaused = true;
            return CURL_WRITEFUNC_PAUSE;
        }
        self->Append(data, qsizetype(n));
        return n;
    }

    static size_t HeaderCallback(char* data, size_t size, size_t count, void* user) {
        auto* self = static_cast<TCurlRequest*>(user);
        const size_t n = size * count;
        if (self->FFtp)
            return n;
        const QByteArray line = QByteArray(data, qsizetype(n)).trimmed();
        if (line.isEmpty()) {
            // End of one header block: final unless curl goes on (1xx, or a redirect it follows).
            long code = 0;
            curl_easy_getinfo(self->FEasy, CURLINFO_RESPONSE_CODE, &code);
            const bool informational = code >= 100 && code < 200;
            const bool redirect = (code == 301 || code == 302 || code == 303 || code == 307 || code == 308) &&
                                  self->FLocationSeen;
            self->FLocationSeen = false;
            if (!informational && !redirect)
                self->FHeadersDone = true;
        } else if (line.toLower().startsWith("location:")) {
            self->FLocationSeen = true;
        }
        return n;
    }

    CURLM* FMulti = nullptr;
    CURL* FEasy = nullptr;
    curl_slist* FHeaders = nullptr;
    char FError[CURL_ERROR_SIZE] = {};
    QByteArray FUrl, FAgent, FProxy, FUser, FPassword, FBody;
    std::vector<char> FBuffer;
    qsizetype FPos = 0, FEnd = 0; // the unread bytes lie between
    bool FFtp = false;
    bool FHeadersDone = false;
    bool FLocationSeen = false;
    bool FDone = false;
    bool FPaused = false;
    CURLcode FResult = CURLE_OK;
    int FStatus = 0;
    qint64 FLength = -1;
};

std::unique_ptr<TInternetRequest> OpenRequest(const QString& url, const TRequestOptions& o,
                                              QString* errorText) {
    auto request = std::make_unique<TCurlRequest>();
    if (!request->Open(url, o, errorText))
        return nullptr;
    return request;
}

class TCurlFtpConnection : public TInternetConnection {
public:
    TCurlFtpConnection(const QString& agent, const QString& proxy, const QString& host, int port,
                       const QString& user, const QString& password, bool passive)
        : FBase(QStringLiteral("ftp://%1:%2/").arg(host).arg(port)) {
        FOptions.Agent = agent;
        FOptions.Proxy = proxy;
        FOptions.Ftp = true;
        FOptions.ActiveFtp = !passive;
        FOptions.User = user;
        FOptions.Password = password;
    }

    bool Check() {
        TRequestOptions o = FOptions;
        o.NoBody = true;
        return OpenRequest(FBase, o, &FLastError) != nullptr;
    }

    std::unique_ptr<TInternetRequest> OpenUrl(const QString& url, const QString&, quint32) override {
        return OpenRequest(url, FOptions, &FLastError);
    }
    bool FtpSetCurrentDirectory(const QString& directory) override {
        QString dir = directory;
        dir.replace('\\', '/');
        while (dir.startsWith('/'))
            dir.remove(0, 1);
        if (!dir.isEmpty() && !dir.endsWith('/'))
            dir += '/';
        TRequestOptions o = FOptions;
        o.NoBody = true;
        if (!OpenRequest(FBase + dir, o, &FLastError))
            return false;
        FDirectory = dir;
        return true;
    }
    std::optional<qint64> FtpFindFile(const QString& name, quint32) override {
        TRequestOptions o = FOptions;
        o.NoBody = true;
        std::unique_ptr<TInternetRequest> r = OpenRequest(FBase + FDirectory + name, o, &FLastError);
        if (!r || r->ContentLength() < 0)
            return std::nullopt;
        return r->ContentLength();
    }
    std::unique_ptr<TInternetRequest> FtpOpenFile(const QString& name) override {
        return OpenRequest(FBase + FDirectory + name, FOptions, &FLastError);
    }
    QString LastResponseInfo() const override { return FLastError; }

private:
    QString FBase;
    QString FDirectory;
    TRequestOptions FOptions;
    QString FLastError;
};

class TCurlSession : public TInternetSession {
public:
    TCurlSession(const QString& agent, const QString& proxy) : FAgent(agent), FProxy(proxy) {}

    std::unique_ptr<TInternetRequest> OpenUrl(const QString& url, const QString& headers,
                                              quint32 flags) override {
        TRequestOptions o;
        o.Agent = FAgent;
        o.Proxy = FProxy;
        o.Headers = headers;
        o.Flags = flags;
        return OpenRequest(url, o, &FLastError);
    }

    std::unique_ptr<TInternetConnection> ConnectFtp(const QString& host, int port, const QString& user,
                                                    const QString& password, bool passive) override {
        auto c = std::make_unique<TCurlFtpConnection>(FAgent, FProxy, host, port, user, password, passive);
        if (!c->Check()) {
            FLastError = c->LastResponseInfo();
            return nullptr;
        }
        return c;
    }

    std::unique_ptr<TInternetRequest> HttpPost(const QString& server, int port, const QString& action,
                                               const QString& headers, const QByteArray& body) override {
        TRequestOptions o;
        o.Agent = FAgent;
        o.Proxy = FProxy;
        o.Headers = headers;
        o.Post = true;
        o.Body = body;
        const QString path = action.startsWith('/') ? action : '/' + action;
        return OpenRequest(QStringLiteral("http://%1:%2%3").arg(server).arg(port).arg(path), o, &FLastError);
    }

    QString LastResponseInfo() const override { return FLastError; }

private:
    QString FAgent, FProxy, FLastError;
};

class TCurlInternet : public TInternet {
public:
    bool Autodial(bool) override { return false; } // no dial-up connections here
    void AutodialHangup() override {}
    std::unique_ptr<TInternetSession> Open(const QString& agent, const QString& proxy) override {
        GlobalInit();
        return std::make_unique<TCurlSession>(agent, proxy);
    }
};

} // namespace

TInternet& SystemInternet() {
    static TCurlInternet internet;
    return internet;
}
