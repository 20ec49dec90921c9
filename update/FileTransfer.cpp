#include "update/FileTransfer.h"

#include "platform/InternetSession.h"
#include "update/TLoginForm.h"
#include "update/unpack/Unpacking.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cctype>
#include <dlfcn.h>
#include <openssl/evp.h>
#include <stdexcept>
#include <string>
#include <type_traits>

namespace {

constexpr qint64 TransferBlock = 4096;
constexpr qint64 CopyBlock = 16384;

void Report(TTransferContext& ctx, int msgNo, const QString& param, int statusCode, int errCode) {
    if (ctx.Events.ReportStatus)
        ctx.Events.ReportStatus(msgNo, param, statusCode, errCode);
}

void LogLine(TTransferContext& ctx, const QString& line) {
    if (ctx.Events.WriteLogLine) {
        ctx.Events.WriteLogLine(line);
        return;
    }
    QFile log(ctx.Settings.LogFileName);
    if (log.open(QIODevice::WriteOnly | QIODevice::Append))
        log.write((line + '\n').toLocal8Bit());
}

void ProcessMessages(TTransferContext& ctx) {
    if (ctx.Events.ProcessMessages)
        ctx.Events.ProcessMessages();
    else
        QCoreApplication::processEvents();
}

bool AskCancel(TTransferContext& ctx) {
    return ctx.Events.QueryCancel && ctx.Events.QueryCancel();
}

std::optional<TLoginData> AskLogin(TTransferContext& ctx, const QString& url) {
    const QString caption = "Connect to " + HostFromUrl(url);
    if (ctx.Events.ShowLoginDialog)
        return ctx.Events.ShowLoginDialog(caption);
    return ShowLoginDialog(caption);
}

QString LocalName(TTransferContext& ctx, const QString& url) {
    QString name = FileNameFromUrl(url);
    if (ctx.Events.FileNameFromURL)
        ctx.Events.FileNameFromURL(url, name);
    return name;
}

// OpenSSL's SHA-256, loaded with the first download that checks one: linked at start, libcrypto
// costs the program in the tray more than a megabyte of resident memory all day.
struct TLibCrypto {
    decltype(&::EVP_MD_CTX_new) ctxNew = nullptr;
    decltype(&::EVP_MD_CTX_free) ctxFree = nullptr;
    decltype(&::EVP_sha256) sha256 = nullptr;
    decltype(&::EVP_DigestInit_ex) init = nullptr;
    decltype(&::EVP_DigestUpdate) update = nullptr;
    decltype(&::EVP_DigestFinal_ex) final = nullptr;
    std::string error; // empty when every entry point was found
};

const TLibCrypto& LibCrypto() {
    static const TLibCrypto api = [] {
        constexpr const char* kLibrary = "libcrypto.so.3";
        TLibCrypto a;
        void* library = dlopen(kLibrary, RTLD_NOW | RTLD_LOCAL);
        if (!library) {
            a.error = dlerror();
            return a;
        }
        auto load = [library, &a](auto& entry, const char* name) {
            entry = reinterpret_cast<std::remove_reference_t<decltype(entry)>>(dlsym(library, name));
            if (!entry && a.error.empty())
                a.error = std::string(kLibrary) + " lacks " + name;
        };
        load(a.ctxNew, "EVP_MD_CTX_new");
        load(a.ctxFree, "EVP_MD_CTX_free");
        load(a.sha256, "EVP_sha256");
        load(a.init, "EVP_DigestInit_ex");
        load(a.update, "EVP_DigestUpdate");
        load(a.final, "EVP_DigestFinal_ex");
        return a;
    }();
    return api;
}

// SHA-256 of the bytes received, block by block. OpenSSL's, as it uses the processor's vector
// instructions: a 20 MB release hashes in about a sixth of the time of libsodium's portable one.
class TSha256 {
public:
    TSha256() : api_(LibCrypto()) {
        if (!api_.error.empty())
            throw std::runtime_error("SHA-256 is not available: " + api_.error);
        ctx_ = api_.ctxNew();
        if (!ctx_ || api_.init(ctx_, api_.sha256(), nullptr) != 1)
            throw std::runtime_error("SHA-256 is not available");
    }
    ~TSha256() {
        if (ctx_)
            api_.ctxFree(ctx_);
    }
    TSha256(const TSha256&) = delete;
    TSha256& operator=(const TSha256&) = delete;
    void Add(const char* data, qint64 size) { api_.update(ctx_, data, size_t(size)); }
    QByteArray Result() {
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        api_.final(ctx_, digest, &length);
        return QByteArray(reinterpret_cast<const char*>(digest), int(length));
    }

private:
    const TLibCrypto& api_;
    EVP_MD_CTX* ctx_ = nullptr;
};

bool IsCabinet(const QString& path) {
    return QFileInfo(path).suffix().compare("CAB", Qt::CaseInsensitive) == 0;
}

// Deletes a target, clearing its write protection for a second try.
bool DeleteTarget(const QString& path) {
    if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
        return true;
    if (QFile::remove(path))
        return true;
    QFile file(path);
    file.setPermissions(file.permissions() | QFileDevice::WriteOwner | QFileDevice::WriteUser);
    return QFile::remove(path);
}

// Puts a complete temporary file in place of the target (steps shared by all transports).
bool ReplaceTarget(TTransferContext& ctx, const QString& tempPath, const QString& targetPath, bool log) {
    bool ok = true;
    if (!DeleteTarget(targetPath)) {
        ok = false;
        if (log)
            LogLine(ctx, "Unable to delete file " + targetPath);
    } else if (!QFile::rename(tempPath, targetPath)) {
        ok = false;
        if (log)
            LogLine(ctx, "Unable to rename file " + tempPath + " to " + targetPath);
    }
    if (ctx.Events.FileDownloaded)
        ctx.Events.FileDownloaded(targetPath);
    return ok;
}

void Unpack(TTransferContext& ctx, const QString& targetPath, const QString& targetDir) {
    if (!IsCabinet(targetPath)) {
        LzExpandFile(targetPath);
        return;
    }
    ExtractCabinet(targetPath, targetDir);
    if (!ctx.Settings.KeepIntermediateFiles)
        QFile::remove(targetPath);
}

// Creates and opens the temporary "WUPD" file that a download is received into.
QString OpenTempDownload(const TTransferContext& ctx, QFile& temp) {
    const QString tempPath = CreateTempFileName(ctx.Settings.TempDirectory, "WUPD");
    if (tempPath.isEmpty())
        throw EInOutError("Unable to create a temporary file in " + ctx.Settings.TempDirectory);
    temp.setFileName(tempPath);
    if (!temp.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw EInOutError("Unable to open " + tempPath + ": " + temp.errorString());
    return tempPath;
}

// Reads the body of request into a new temporary file, hashing every block when asked to.
TReceivedFile ReceiveBody(TTransferContext& ctx, TInternetRequest& request, qint64 announced,
                          const QString& fileName, const QString& progressPath) {
    TReceivedFile r;
    r.FileName = fileName;
    QFile temp;
    r.TempPath = OpenTempDownload(ctx, temp);

    std::optional<TSha256> hash;
    if (ctx.Settings.ComputeSha256)
        hash.emplace();
    char buffer[TransferBlock];
    qint64 last = TransferBlock; // as if a full block had been read
    bool cancel = false, error = false;
    while (last > 0 && !cancel) {
        ProcessMessages(ctx);
        last = request.Read(buffer, TransferBlock);
        if (last < 0) {
            error = true;
            r.Truncated = true; // the transfer broke off
            break;
        }
        if (last == 0)
            break;
        if (r.Size + last > ctx.Settings.MaxFileSize) {
            error = true; // larger than any file of an update, or a stream without end
            break;
        }
        if (temp.write(buffer, last) != last) {
            const QString message = "Unable to write " + r.TempPath + ": " + temp.errorString();
            temp.close();
            throw EInOutError(message);
        }
        if (hash)
            hash->Add(buffer, last);
        r.Size += last;
        if (ctx.Events.FileProgress)
            ctx.Events.FileProgress(progressPath, r.Size, announced);
        cancel = AskCancel(ctx);
        r.Received = true;
    }
    temp.close();
    ctx.Cancelled = cancel;
    if (announced > 0 && r.Size < announced && !cancel)
        r.Truncated = true;
    if (hash)
        r.Sha256 = hash->Result();

    if (cancel || error) {
        if (!QFile::remove(r.TempPath))
            LogLine(ctx, "Unable to delete file " + r.TempPath);
        r.TempPath.clear();
        return r;
    }
    r.Complete = true;
    return r;
}

// Opens the request for an HTTP address (proxy credentials, login dialog, status check).
// nullptr when the address cannot be fetched; the reason has been reported.
std::unique_ptr<TInternetRequest> OpenHttp(TTransferContext& ctx, TInternetConnection* connection,
                                           const QString& source) {
    TTransferSettings& s = ctx.Settings;
    QString url = source;
    if (!s.ProxyUserID.isEmpty())
        url = AddProxyCredentials(url, s.ProxyUserID, s.ProxyPassword);

    if (s.Authenticate == waAlways && (s.UserID.isEmpty() || s.Password.isEmpty())) {
        const std::optional<TLoginData> login = AskLogin(ctx, url);
        if (!login) {
            Report(ctx, 956, QString(), 0, 0);
            return nullptr;
        }
        s.UserID = login->UserID;
        s.Password = login->Password;
    }

    quint32 flags = irfReload | irfNoCacheWrite | irfPragmaNoCache;
    if (s.HTTPKeepAliveAuthentication)
        flags |= irfKeepConnection;
    if (s.ExistingConnection)
        flags |= irfExistingConnect;

    std::unique_ptr<TInternetRequest> request;
    // Bounded: each repetition needs a new answer of the login dialog.
    for (int attempt = 0; attempt < 100 && connection; ++attempt) {
        const QString header = BasicAuthHeader(s.UserID, s.Password);
        request = connection->OpenUrl(url, header, flags);
        if (!request)
            break;
        const int status = request->StatusCode();
        if (status == 401 && s.Authenticate == waAuto) {
            const std::optional<TLoginData> login = AskLogin(ctx, url);
            request.reset();
            if (!login) {
                Report(ctx, 956, QString(), 0, 0);
                return nullptr;
            }
            s.UserID = login->UserID;
            s.Password = login->Password;
            continue;
        }
        if (status >= 300) {
            Report(ctx, 916, QString::number(status), 6, status);
            return nullptr;
        }
        break;
    }
    if (!request)
        Report(ctx, 917, source, 2, 1);
    return request;
}

TReceivedFile ReceiveHttp(TTransferContext& ctx, TInternetConnection* connection, const QString& source,
                          const QString& progressDir) {
    Report(ctx, 915, source, 3, 0);
    const QString fileName = LocalName(ctx, source);
    std::unique_ptr<TInternetRequest> request = OpenHttp(ctx, connection, source);
    TReceivedFile none;
    none.FileName = fileName;
    if (!request)
        return none;
    const qint64 length = request->ContentLength();
    if (length > ctx.Settings.MaxFileSize)
        return none; // never started: the old target stays
    return ReceiveBody(ctx, *request, length > 0 ? length : 0, fileName, progressDir + fileName);
}

TReceivedFile ReceiveFtp(TTransferContext& ctx, TInternetConnection* connection, const QString& source,
                         const QString& progressDir) {
    Report(ctx, 915, source, 3, 0);
    TReceivedFile none;
    none.FileName = LocalName(ctx, source);
    if (!connection) {
        Report(ctx, 917, source, 2, 1);
        return none;
    }
    if (!ctx.FtpDirectorySet) {
        const QString dir = ctx.Events.ExpandPath ? ctx.Events.ExpandPath(ctx.Settings.FTPDirectory)
                                                  : ctx.Settings.FTPDirectory;
        connection->FtpSetCurrentDirectory(dir);
        ctx.FtpDirectorySet = true;
    }
    const std::optional<qint64> size = connection->FtpFindFile(none.FileName, irfReload | irfNoCacheWrite);
    std::unique_ptr<TInternetRequest> request = connection->FtpOpenFile(none.FileName);
    if (!request) {
        Report(ctx, 917, source, 2, 1);
        return none;
    }
    return ReceiveBody(ctx, *request, size.value_or(0), none.FileName, progressDir + none.FileName);
}

bool CopyLocalFile(TTransferContext& ctx, const QString& source, bool compressed, const QString& targetDir) {
    const QString fileName = LocalName(ctx, source);
    // A target directory that ends in a file name is the target itself.
    const bool dirIsFile = !targetDir.isEmpty() && !targetDir.endsWith('/') && !targetDir.endsWith('\\') &&
                           !QFileInfo(targetDir).isDir();
    const QString targetPath = dirIsFile ? targetDir : targetDir + fileName;
    if (source == targetPath) {
        Report(ctx, 912, source, 10, 3);
        return false;
    }
    QFile in(source);
    if (!QFileInfo(source).isFile() || !in.open(QIODevice::ReadOnly)) {
        Report(ctx, 913, source, 2, 1);
        return false;
    }
    const qint64 length = in.size();
    if (length < 0) {
        Report(ctx, 914, source, 10, 2);
        return false;
    }
    QFile temp;
    const QString tempPath = OpenTempDownload(ctx, temp);
    char buffer[CopyBlock];
    qint64 total = 0;
    bool cancel = false, error = false;
    while (!cancel) {
        const qint64 n = in.read(buffer, CopyBlock);
        if (n < 0 || (n > 0 && temp.write(buffer, n) != n)) {
            error = true;
            break;
        }
        if (n == 0)
            break;
        total += n;
        if (ctx.Events.FileProgress)
            ctx.Events.FileProgress(targetPath, total, length);
        ProcessMessages(ctx);
        cancel = AskCancel(ctx);
    }
    temp.close();
    ctx.Cancelled = cancel;
    if (cancel || error) {
        QFile::remove(tempPath);
        return false;
    }
    const bool ok = ReplaceTarget(ctx, tempPath, targetPath, false);
    if (compressed && ok) {
        if (IsCabinet(targetPath)) {
            Report(ctx, 965, QString(), 3, 0);
            ExtractCabinet(targetPath, QFileInfo(targetPath).path());
            if (!ctx.Settings.KeepIntermediateFiles)
                QFile::remove(targetPath);
        } else {
            LzExpandFile(targetPath);
        }
    }
    return ok;
}

} // namespace

TReceivedFile ReceiveFile(TTransferContext& ctx, TInternetConnection* connection, const QString& source,
                          const QString& progressDir) {
    return ctx.Settings.UpdateType == ftpUpdate ? ReceiveFtp(ctx, connection, source, progressDir)
                                                : ReceiveHttp(ctx, connection, source, progressDir);
}

bool PlaceFile(TTransferContext& ctx, const TReceivedFile& file, bool compressed, const QString& targetDir) {
    if (!file.Complete)
        return false;
    const QString targetPath = targetDir + file.FileName;
    const bool ok = ReplaceTarget(ctx, file.TempPath, targetPath, true);
    if (compressed && ok) // never unpack an old file that was not replaced
        Unpack(ctx, targetPath, targetDir);
    return ok;
}

bool DownloadFile(TTransferContext& ctx, TInternetConnection* connection, const QString& source,
                  bool compressed, const QString& targetDir) {
    if (ctx.Settings.UpdateType == fileUpdate)
        return CopyLocalFile(ctx, source, compressed, targetDir);
    const TReceivedFile file = ReceiveFile(ctx, connection, source, targetDir);
    return PlaceFile(ctx, file, compressed, targetDir) && file.Received;
}

QString Sha256Hex(const QByteArray& digest) {
    return QString::fromLatin1(digest.toHex());
}

std::optional<QByteArray> ParseSha256Hex(const QString& text) {
    const QString t = text.trimmed();
    if (t.size() != 64)
        return std::nullopt;
    for (QChar c : t)
        if (!isxdigit(c.toLatin1()) || c.unicode() > 127)
            return std::nullopt;
    return QByteArray::fromHex(t.toLatin1());
}

QString FileNameFromUrl(const QString& url) {
    QString name = url.mid(url.lastIndexOf('/') + 1);
    return name.mid(name.lastIndexOf('\\') + 1);
}

QString HostFromUrl(const QString& url) {
    QString rest = url;
    const qsizetype scheme = rest.indexOf("://");
    if (scheme >= 0)
        rest = rest.mid(scheme + 3);
    qsizetype cut = rest.size();
    for (QChar c : {QChar('/'), QChar('\\')}) {
        const qsizetype at = rest.indexOf(c);
        if (at >= 0 && at < cut)
            cut = at;
    }
    return rest.left(cut);
}

QString AddProxyCredentials(const QString& url, const QString& user, const QString& password) {
    if (!url.startsWith("http://", Qt::CaseInsensitive))
        return url;
    return "http://" + user + ":" + password + "@" + url.mid(7);
}

QByteArray Base64Encode(const QByteArray& bytes) {
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    QByteArray out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (qsizetype i = 0; i < bytes.size(); i += 3) {
        const qsizetype n = std::min<qsizetype>(3, bytes.size() - i);
        quint32 group = quint32(quint8(bytes[i])) << 16;
        if (n > 1)
            group |= quint32(quint8(bytes[i + 1])) << 8;
        if (n > 2)
            group |= quint8(bytes[i + 2]);
        out += alphabet[(group >> 18) & 63];
        out += alphabet[(group >> 12) & 63];
        out += n > 1 ? alphabet[(group >> 6) & 63] : '=';
        out += n > 2 ? alphabet[group & 63] : '=';
    }
    return out;
}

QString Base64Encode(const QString& text) {
    return QString::fromLatin1(Base64Encode(text.toUtf8()));
}

QString BasicAuthHeader(const QString& user, const QString& password) {
    if (user.isEmpty() && password.isEmpty())
        return QString();
    return "Authorization: Basic " + Base64Encode(user + ":" + password) + "\r\n\r\n";
}

QString CreateTempFileName(const QString& directory, const QString& prefix) {
    const QString dir = directory.isEmpty() ? QStringLiteral(".") : directory;
    const QString letters = prefix.left(3);
    quint32 start = QRandomGenerator::global()->bounded(0x10000u);
    for (quint32 i = 0; i < 0x10000u; ++i) {
        const quint32 number = ((start + i) & 0xFFFF) ? (start + i) & 0xFFFF : 1;
        const QString name = letters + QString::number(number, 16).toUpper() + ".TMP";
        const QString path = QDir(dir).filePath(name);
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return path;
        if (!QFileInfo::exists(path))
            return QString(); // not a name clash: the directory is missing or not writable
    }
    return QString();
}
