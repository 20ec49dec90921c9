#include "update/FileTransfer.h"

#include "platform/InternetSession.h"
#include "update/TLoginForm.h"
#include "update/unpack/Unpacking.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

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

// Reads the body of request into a temporary file and puts it in place (the common tail of
// HTTP and FTP downloads).
bool ReceiveBody(TTransferContext& ctx, TInternetRequest& request, qint64 announced, bool compressed,
                 const QString& targetDir, const QString& targetPath) {
    QFile temp;
    const QString tempPath = OpenTempDownload(ctx, temp);

    char buffer[TransferBlock];
    qint64 total = 0;
    qint64 last = TransferBlock; // as if a full block had been read
    bool cancel = false, error = false, received = false;
    while (last > 0 && !cancel) {
        ProcessMessages(ctx);
        last = request.Read(buffer, TransferBlock);
        if (last < 0) {
            error = true;
            break;
        }
        if (last == 0)
            break;
        if (total + last > ctx.Settings.MaxFileSize) {
            error = true; // larger than any file of an update, or a stream without end
            break;
        }
        if (temp.write(buffer, last) != last) {
            const QString message = "Unable to write " + tempPath + ": " + temp.errorString();
            temp.close();
            throw EInOutError(message);
        }
        total += last;
        if (ctx.Events.FileProgress)
            ctx.Events.FileProgress(targetPath, total, announced);
        cancel = AskCancel(ctx);
        received = true;
    }
    temp.close();
    ctx.Cancelled = cancel;

    if (cancel || error) {
        if (!QFile::remove(tempPath))
            LogLine(ctx, "Unable to delete file " + tempPath);
        return false;
    }
    bool ok = ReplaceTarget(ctx, tempPath, targetPath, true);
    if (compressed && ok) // never unpack an old file that was not replaced
        Unpack(ctx, targetPath, targetDir);
    return ok && received;
}

bool DownloadHttp(TTransferContext& ctx, TInternetConnection* connection, const QString& source,
                  bool compressed, const QString& targetDir) {
    TTransferSettings& s = ctx.Settings;
    Report(ctx, 915, source, 3, 0);
    const QString fileName = LocalName(ctx, source);

    QString url = source;
    if (!s.ProxyUserID.isEmpty())
        url = AddProxyCredentials(url, s.ProxyUserID, s.ProxyPassword);

    if (s.Authenticate == waAlways && (s.UserID.isEmpty() || s.Password.isEmpty())) {
        const std::optional<TLoginData> login = AskLogin(ctx, url);
        if (!login) {
            Report(ctx, 956, QString(), 0, 0);
            return false;
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
                return false;
            }
            s.UserID = login->UserID;
            s.Password = login->Password;
            continue;
        }
        if (status >= 300) {
            Report(ctx, 916, QString::number(status), 6, status);
            return false;
        }
        break;
    }
    if (!request) {
        Report(ctx, 917, source, 2, 1);
        return false;
    }

    const QString targetPath = targetDir + fileName;
    const qint64 length = request->ContentLength();
    if (length > s.MaxFileSize)
        return false; // never started: the old target stays
    return ReceiveBody(ctx, *request, length > 0 ? length : 0, compressed, targetDir, targetPath);
}

bool DownloadFtp(TTransferContext& ctx, TInternetConnection* connection, const QString& source,
                 bool compressed, const QString& targetDir) {
    Report(ctx, 915, source, 3, 0);
    const QString fileName = LocalName(ctx, source);
    if (!connection) {
        Report(ctx, 917, source, 2, 1);
        return false;
    }
    if (!ctx.FtpDirectorySet) {
        const QString dir = ctx.Events.ExpandPath ? ctx.Events.ExpandPath(ctx.Settings.FTPDirectory)
                                                  : ctx.Settings.FTPDirectory;
        connection->FtpSetCurrentDirectory(dir);
        ctx.FtpDirectorySet = true;
    }
    const std::optional<qint64> size = connection->FtpFindFile(fileName, irfReload | irfNoCacheWrite);
    std::unique_ptr<TInternetRequest> request = connection->FtpOpenFile(fileName);
    if (!request) {
        Report(ctx, 917, source, 2, 1);
        return false;
    }
    return ReceiveBody(ctx, *request, size.value_or(0), compressed, targetDir, targetDir + fileName);
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

bool DownloadFile(TTransferContext& ctx, TInternetConnection* connection, const QString& source,
                  bool compressed, const QString& targetDir) {
    switch (ctx.Settings.UpdateType) {
    case httpUpdate:
        return DownloadHttp(ctx, connection, source, compressed, targetDir);
    case ftpUpdate:
        return DownloadFtp(ctx, connection, source, compressed, targetDir);
    case fileUpdate:
        return CopyLocalFile(ctx, source, compressed, targetDir);
    }
    return false;
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
