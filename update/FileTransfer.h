#pragma once
// Transfer of one file for the update engine: HTTP (libcurl through TInternetConnection), FTP and
// local copy. The file is written to a temporary file and put in place after a complete transfer.
#include "update/UpdateTypes.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <functional>
#include <optional>

class TInternetConnection;

struct TTransferSettings {
    TUpdateType UpdateType = httpUpdate;
    TAuthenticate Authenticate = waNever;
    QString UserID; // set by the login dialog, kept for later transfers
    QString Password;
    QString ProxyUserID;
    QString ProxyPassword;
    QString TempDirectory = ".";
    QString FTPDirectory; // prefixes expanded through TTransferEvents::ExpandPath
    bool KeepIntermediateFiles = false;
    bool ExistingConnection = false;
    bool HTTPKeepAliveAuthentication = false;
    QString LogFileName = "WUPDATE.LOG";  // for the lines without time stamp
    qint64 MaxFileSize = qint64(1) << 30; // larger transfers are stopped as a read error
    bool ComputeSha256 = false; // TReceivedFile::Sha256 of what arrives (else empty): checked files only
};

struct TTransferEvents {
    TStatusReporter ReportStatus; // 915, 916, 917, 956 (and 912-914, 965 in file mode)
    std::function<void(const QString& FileName, qint64 Pos, qint64 Size)> FileProgress;
    // The engine's QueryCancel: asks OnProgressCancel and reports 964 itself; true cancels.
    std::function<bool()> QueryCancel;
    std::function<void(const QString& FileName)> FileDownloaded;
    // Login dialog; unset: TLoginForm. nullopt = cancelled.
    std::function<std::optional<TLoginData>(const QString& Caption)> ShowLoginDialog;
    // OnFileNameFromURL: may replace the local file name derived from the URL.
    std::function<void(const QString& URL, QString& FName)> FileNameFromURL;
    // Log lines without time stamp; unset: appended to Settings.LogFileName.
    std::function<void(const QString& Line)> WriteLogLine;
    // Processes pending window messages between blocks; unset: QCoreApplication::processEvents().
    std::function<void()> ProcessMessages;
    // Prefix expansion for FTPDirectory; unset: unchanged.
    std::function<QString(const QString&)> ExpandPath;
};

// The engine's transfer state: settings, events and what lives across transfers of a run.
struct TTransferContext {
    TTransferSettings Settings;
    TTransferEvents Events;
    bool Cancelled = false;       // the last transfer was cancelled
    bool FtpDirectorySet = false; // cleared by the engine at the start of every run
};

// A file received into the temporary directory, not yet put anywhere.
struct TReceivedFile {
    bool Complete = false;  // transferred without error or cancel (possibly empty)
    bool Received = false;  // at least one non-empty block arrived
    bool Truncated = false; // fewer bytes than the server announced
    QString TempPath;       // the temporary file (kept when Complete, else deleted)
    QString FileName;       // local name taken from the address
    qint64 Size = 0;        // bytes received
    QByteArray Sha256;      // SHA-256 of the bytes received (32 bytes)
};

// Steps up to the complete temporary file: request, transfer into a new file of
// Settings.TempDirectory, hashing each block when Settings.ComputeSha256. Reports 915, 916, 917, 956. Throws
// EInOutError when the temporary file cannot be created or written. Progress events name progressDir + the
// file name.
TReceivedFile ReceiveFile(TTransferContext& ctx, TInternetConnection* connection, const QString& source,
                          const QString& progressDir = QString());

// Puts a complete temporary file in place of targetDir + its name (deleting the old target
// first), raises FileDownloaded and unpacks it when compressed. False when it could not be put
// in place.
bool PlaceFile(TTransferContext& ctx, const TReceivedFile& file, bool compressed, const QString& targetDir);

// Lower-case hex of a SHA-256 and back (nullopt for anything but 64 hex digits).
QString Sha256Hex(const QByteArray& digest);
std::optional<QByteArray> ParseSha256Hex(const QString& text);

// Downloads source into targetDir (with a trailing separator, or empty for the current
// directory): ReceiveFile, then PlaceFile. connection: the run's HTTP session or FTP connection; unused in
// file mode. True when the file is in place (an empty response gives false). Throws EInOutError when the
// temporary file cannot be created or written.
bool DownloadFile(TTransferContext& ctx, TInternetConnection* connection, const QString& source,
                  bool compressed, const QString& targetDir);

// Everything after the last "/" and then after the last "\"; the query part is kept.
QString FileNameFromUrl(const QString& url);
// The address without scheme and "://", cut at the first "/" or "\".
QString HostFromUrl(const QString& url);
// "http://" + user + ":" + password + "@" + rest, when url starts with "http://" (any case).
QString AddProxyCredentials(const QString& url, const QString& user, const QString& password);
// Standard Base64 with "=" padding, of the UTF-8 bytes of text.
QString Base64Encode(const QString& text);
QByteArray Base64Encode(const QByteArray& bytes);
// "Authorization: Basic <base64 user:password>\r\n\r\n", or empty when both are empty.
QString BasicAuthHeader(const QString& user, const QString& password);

// A new, empty, unique file "<3 letters of prefix><hex digits>.TMP" in directory; its path, or an
// empty text when none could be created.
QString CreateTempFileName(const QString& directory, const QString& prefix);
