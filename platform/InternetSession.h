#pragma once
// Internet access for the update engine: dial-up, sessions, HTTP and FTP requests read block by
// block (the connection state is platform/OnlineCheck.h). Linux: libcurl
// (linux/CurlInternetSession.cpp).
#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <memory>
#include <optional>

// Request flags.
enum : quint32 {
    irfReload = 0x1,           // always fetch from the server
    irfNoCacheWrite = 0x2,     // do not write to a cache
    irfPragmaNoCache = 0x4,    // send "Pragma: no-cache"
    irfKeepConnection = 0x8,   // keep the connection for authentication
    irfExistingConnect = 0x10, // reuse an existing connection
};

// An open request; the body is read block by block.
class TInternetRequest {
public:
    virtual ~TInternetRequest() = default;
    virtual int StatusCode() const = 0;       // HTTP status number (0 for FTP)
    virtual qint64 ContentLength() const = 0; // announced length, -1 when none
    // Up to maxSize bytes into buffer; the count read, 0 at the end, -1 on a read error.
    virtual qint64 Read(char* buffer, qint64 maxSize) = 0;
};

// An HTTP session or an FTP connection (the engine's connection handle).
class TInternetConnection {
public:
    virtual ~TInternetConnection() = default;
    // Opens url with extra request headers (lines ended by CR LF; empty lines ignored).
    // nullptr when no request could be made (no such host, connection refused, bad address).
    virtual std::unique_ptr<TInternetRequest> OpenUrl(const QString& url, const QString& headers,
                                                      quint32 flags) = 0;
    // FTP connections only.
    virtual bool FtpSetCurrentDirectory(const QString& directory);
    virtual std::optional<qint64> FtpFindFile(const QString& name, quint32 flags); // its size
    virtual std::unique_ptr<TInternetRequest> FtpOpenFile(const QString& name);
    // The server's last response text (FTP) or the last error text.
    virtual QString LastResponseInfo() const;
    virtual int LastError() const;
};

// An open Internet session (user agent, proxy).
class TInternetSession : public TInternetConnection {
public:
    virtual std::unique_ptr<TInternetConnection>
    ConnectFtp(const QString& host, int port, const QString& user, const QString& password, bool passive) = 0;
    // A POST to http://server:port/action; nullptr when the server cannot be reached.
    virtual std::unique_ptr<TInternetRequest> HttpPost(const QString& server, int port, const QString& action,
                                                       const QString& headers, const QByteArray& body) = 0;
};

class TInternet {
public:
    virtual ~TInternet() = default;
    virtual bool Autodial(bool askUser) = 0; // false: no dial-up made
    virtual void AutodialHangup() = 0;
    // proxy empty: the system's proxy configuration. nullptr when no session can be opened.
    virtual std::unique_ptr<TInternetSession> Open(const QString& agent, const QString& proxy) = 0;
};

// The process's Internet facility (libcurl unless replaced).
TInternet& Internet();
// Tests: replaces the facility; nullptr restores the platform's.
void SetInternet(TInternet* internet);
TInternet& SystemInternet();
