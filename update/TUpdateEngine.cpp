#include "update/TUpdateEngine.h"

#include "platform/CommandLine.h"
#include "platform/HtmlDialog.h"
#include "platform/InternetSession.h"
#include "platform/OnlineCheck.h"
#include "platform/Process.h"
#include "platform/Unpacker.h"
#include "platform/WebBrowser.h"
#include "update/PrefixExpansion.h"
#include "update/UpdateDate.h"
#include "update/UpdateLog.h"
#include "update/UpdateMessages.h"
#include "update/UpdaterResource.h"
#include "update/VersionRules.h"
#include "update/unpack/Unpacking.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <unistd.h>

namespace {

// Largest control file that is read (and verified) at all.
constexpr qint64 kMaxControlFileSize = 4 * 1024 * 1024;

// The file's bytes, at most limit of them; nullopt when it cannot be read or is larger.
std::optional<QByteArray> ReadSmallFile(const QString& path, qint64 limit) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray bytes = f.read(limit + 1);
    if (bytes.size() > limit)
        return std::nullopt;
    return bytes;
}

// A directory the files may be written into: it exists and is writable, or the nearest
// existing parent is (it will be created).
bool DirectoryWritable(const QString& dir) {
    QString d = QFileInfo(dir.isEmpty() ? QStringLiteral(".") : dir).absoluteFilePath();
    while (!QFileInfo::exists(d)) {
        const QString parent = QFileInfo(d).absolutePath();
        if (parent == d)
            return false;
        d = parent;
    }
    return QFileInfo(d).isDir() && ::access(QFile::encodeName(d).constData(), W_OK | X_OK) == 0;
}

QString ExtensionOf(const QString& name) {
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? QString() : name.mid(dot).toUpper();
}

QStringList ReadTextLines(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QString text = QString::fromLocal8Bit(f.readAll());
    text.replace("\r\n", "\n");
    QStringList lines = text.split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace

TUpdateEngine::TUpdateEngine(QObject* owner) : QObject(owner) {}

QString TUpdateEngine::Version() {
    return QStringLiteral(ZW_FILE_VERSION);
}

QString TUpdateEngine::RunDirectory() const {
    return FRunDir ? FRunDir->path() + u'/' : QString();
}

// Everything a run writes before it moves into place goes into a directory of its own (mode
// 0700), inside TempDirectory so that moving a file into the program directory stays a rename
// on the same file system; in the system's temporary directory when TempDirectory refuses one.
void TUpdateEngine::CreateRunDirectory() {
    const QString base = TempDirectory.isEmpty() ? QStringLiteral(".") : TempDirectory;
    FRunDir = std::make_unique<QTemporaryDir>(QDir(base).filePath(".zw-update-XXXXXX"));
    if (!FRunDir->isValid())
        FRunDir = std::make_unique<QTemporaryDir>();
    if (!FRunDir->isValid()) {
        const QString error = FRunDir->errorString();
        FRunDir.reset();
        throw EInOutError("Cannot create a private directory for the update: " + error);
    }
    ctx_.Settings.TempDirectory = FRunDir->path();
}

TUpdateEngine::~TUpdateEngine() = default;

TUpdateHost& TUpdateEngine::host() {
    if (host_)
        return *host_;
    if (!defaultHost_)
        defaultHost_ = std::make_unique<TWidgetUpdateHost>();
    return *defaultHost_;
}

// --- reporting ------------------------------------------------------------------------------

void TUpdateEngine::ReportStatus(int msgNo, const QString& param, int statusCode, int errCode) {
    const QString text = FormatUpdateMessage(msgNo, param);
    if (Logging)
        AppendLogLine(LogFileName,
                      FormatStatusLogLine(QDateTime::currentDateTime(), msgNo, text, statusCode, errCode,
                                          SystemDateSeparator(), SystemTimeSeparator()));
    if (OnStatus)
        OnStatus(this, text, statusCode, errCode);
}

// --- rules and transfer set-up --------------------------------------------------------------

std::optional<QString> TUpdateEngine::ResolvePrefix(const QString& name) {
    return StandardPrefix(name);
}

TUpdateRules TUpdateEngine::Rules() {
    TUpdateRules r;
    r.VersionCheck = VersionCheck;
    r.UseCRC32 = UseCRC32;
    r.DateFormat = DateFormat;
    r.DateSeparator = DateSeparator;
    r.TimeFormat = TimeFormat;
    r.TimeSeparator = TimeSeparator;
    if (FRegistryDate)
        r.LastCheckDate = FLocalDate;
    if (OnConvertPrefix)
        r.ConvertPrefix = [this](QString& path) { OnConvertPrefix(this, path); };
    r.ResolvePrefix = [this](const QString& name) { return ResolvePrefix(name); };
    r.Report = [this](int msgNo, const QString& param, int status, int err) {
        ReportStatus(msgNo, param, status, err);
    };
    return r;
}

QString TUpdateEngine::Expand(const QString& value) {
    return ExpandPath(Rules(), value);
}

QString TUpdateEngine::ReadPathValue(const QString& section, const QString& key) {
    return ReadPath(FIni, Rules(), section, key);
}

QString TUpdateEngine::LocalFileName(const QString& url) {
    QString name = FileNameFromUrl(url);
    if (OnFileNameFromURL)
        OnFileNameFromURL(this, url, name);
    return name;
}

void TUpdateEngine::PrepareTransfer() {
    TTransferSettings& s = ctx_.Settings;
    s.UpdateType = UpdateType;
    s.Authenticate = Authenticate;
    s.UserID = UserID;
    s.Password = Password;
    s.ProxyUserID = ProxyUserID;
    s.ProxyPassword = ProxyPassword;
    s.TempDirectory = TempDirectory;
    s.FTPDirectory = FTPDirectory;
    s.KeepIntermediateFiles = KeepIntermediateFiles;
    s.ExistingConnection = ExistingConnection;
    s.HTTPKeepAliveAuthentication = HTTPKeepAliveAuthentication;
    s.LogFileName = LogFileName;
    s.ComputeSha256 = false; // only the listed files are checked against a checksum

    TTransferEvents& e = ctx_.Events;
    e.ReportStatus = [this](int msgNo, const QString& param, int status, int err) {
        if (msgNo == um::HttpStatus || msgNo == um::UrlNotFound)
            FLastTransferReport = msgNo;
        ReportStatus(msgNo, param, status, err);
    };
    e.FileProgress = [this](const QString& fileName, qint64 pos, qint64 size) {
        if (OnFileProgress)
            OnFileProgress(this, fileName, static_cast<int>(pos), static_cast<int>(size));
    };
    e.QueryCancel = [this] { return QueryCancel(); };
    e.FileDownloaded = [this](const QString& fileName) { NotifyFileDownloaded(fileName); };
    e.FileNameFromURL = nullptr;
    if (OnFileNameFromURL)
        e.FileNameFromURL = [this](const QString& url, QString& name) { OnFileNameFromURL(this, url, name); };
    const QString logFile = LogFileName;
    e.WriteLogLine = [logFile](const QString& line) { AppendLogLine(logFile, line); };
    e.ExpandPath = [this](const QString& value) { return Expand(value); };
}

bool TUpdateEngine::Download(const QString& url, bool compressed, const QString& targetDir) {
    FLastTruncated = false;
    bool ok = false;
    if (UpdateType == fileUpdate) {
        ok = DownloadFile(ctx_, FConnection, url, compressed, targetDir);
    } else {
        const TReceivedFile file = ReceiveFile(ctx_, FConnection, url, targetDir);
        FLastTruncated = file.Truncated;
        ok = PlaceFile(ctx_, file, compressed, targetDir) && file.Received;
    }
    // Credentials entered in the login dialog stay for later transfers and runs.
    UserID = ctx_.Settings.UserID;
    Password = ctx_.Settings.Password;
    return ok;
}

// --- the run --------------------------------------------------------------------------------

void TUpdateEngine::RunUpdate() {
    FComponentDownloaded = false;
    ctx_.FtpDirectorySet = false;
    ctx_.Cancelled = false;
    FControlFilePath.clear();
    FUpdaterCommand.clear();
    FSignedVersion.clear();
    FRefused = false;
    FRunEnd = TRunEnd::NoUpdate;
    PrepareTransfer();
    // The private directory lives exactly as long as the run (a started updater has its
    // program open already).
    struct TRunDirGuard {
        std::unique_ptr<QTemporaryDir>& dir;
        ~TRunDirGuard() { dir.reset(); }
    } guard{FRunDir};

    ReportStatus(um::RunStart, Version(), 0, 0);
    const int connect = OpenInternet();
    if (connect != 0) {
        FRunEnd = connect == 1 ? TRunEnd::Offline : TRunEnd::NoSession;
        return;
    }
    if (UpdateType == ftpUpdate)
        ConnectFtpHost();

    if (FConnection || UpdateType == fileUpdate) {
        CreateRunDirectory();
        bool goOn = FetchControlFile() == 0;
        if (goOn && EvaluateUpdateConditions() == ucrNoUpdate) {
            FAppUpdate = false;
            goOn = false;
        }
        if (goOn && RunControlActions() != 0)
            goOn = false;
        if (goOn) {
            bool refused = false;
            QStringList notes;
            if (FetchWhatsNew(notes))
                refused = !ShowReleaseNotes(notes);
            QStringList licence;
            if (FetchLicense(licence) && !refused)
                refused = !ShowLicense(licence);
            if (!refused && ReadFileList() > 0) {
                SelectFilesToFetch();
                const bool remained = FFileList.Count() > 0;
                if (remained) {
                    FetchListedFiles();
                    if (!FRefused)
                        FinishUpdate();
                }
                CloseInternet();
                if (FRefused)
                    return;
                if (remained && !ctx_.Cancelled) {
                    FRunEnd = TRunEnd::Finished;
                    if (OnSuccess)
                        OnSuccess(this);
                }
                if (FAppUpdate && !ctx_.Cancelled && FComponentDownloaded)
                    RestartWithUpdater();
                return;
            }
            FAppUpdate = false;
        }
    }
    CloseInternet();
}

int TUpdateEngine::OpenInternet() {
    FSession.reset();
    FFtpConnection.reset();
    FConnection = nullptr;
    if (UpdateType == fileUpdate)
        return 0;
    ReportStatus(um::CheckingConnection, "", 3, 0);
    if (UpdateConnect == wucNone)
        return 0;
    bool online = URL.contains("127.0.0.1") || ::OnlineCheck().IsConnected();
    if (!online && UpdateConnect == wucNoConnect)
        return 1;
    if (!online && (UpdateConnect == wucConnectPrompt || UpdateConnect == wucConnectPromptHangup)) {
        ReportStatus(um::PromptConnection, "", 3, 0);
        if (!Internet().Autodial(true)) {
            ReportStatus(um::DialupFailed, "", 3, 0);
            return 3;
        }
        FDialup = true;
        online = true;
    }
    if (!online && (UpdateConnect == wucConnectSilent || UpdateConnect == wucConnectSilentHangup)) {
        ReportStatus(um::OpeningConnection, "", 3, 0);
        if (!Internet().Autodial(false)) {
            ReportStatus(um::DialupFailed, "", 3, 0);
            return 3;
        }
        FDialup = true;
    }
    ReportStatus(um::FoundConnection, "", 3, 0);
    FSession = Internet().Open(Agent, Proxy);
    if (!FSession) {
        ReportStatus(um::CannotOpenConnection, "", 1, 0);
        return 2;
    }
    FConnected = true;
    if (UpdateType == httpUpdate)
        FConnection = FSession.get();
    return 0;
}

bool TUpdateEngine::ConnectFtpHost() {
    if (!FSession)
        return false;
    ReportStatus(um::ConnectHost, Host, 3, 0);
    const bool credentials = !UserID.isEmpty() && !Password.isEmpty();
    FFtpConnection = FSession->ConnectFtp(Host, Port, credentials ? UserID : QString(),
                                          credentials ? Password : QString(), FTPPassive);
    if (FFtpConnection) {
        FConnection = FFtpConnection.get();
        return true;
    }
    // Reported directly, without a log line.
    const QString text = FSession->LastResponseInfo();
    if (OnStatus)
        OnStatus(this, text, 1, FSession->LastError());
    else
        host().Ask(text, TMsgDlgType::Error, mbOK);
    return false;
}

QString TUpdateEngine::BuildControlFileUrl() {
    QString url = URL;
    if (LastURLEntry.Save && !LastURLEntry.Key.isEmpty() && !LastURLEntry.Section.isEmpty()) {
        const QString stored = StoredLastUrl();
        if (!stored.isEmpty())
            url = stored;
    }
    return Expand(url);
}

int TUpdateEngine::FetchControlFile() {
    const QString url = BuildControlFileUrl();
    const QString dir = RunDirectory();
    FLastTransferReport = 0;
    const qint64 maxFileSize = ctx_.Settings.MaxFileSize;
    ctx_.Settings.MaxFileSize = kMaxControlFileSize;
    const bool fetched = Download(url, false, dir);
    ctx_.Settings.MaxFileSize = maxFileSize;
    if (!fetched && FLastTruncated) {
        Refuse(um::DownloadIncomplete, url, um::rfIncomplete);
        return 4;
    }
    if (!fetched) {
        // An error status has the window's box of its own; anything else is a server not reached.
        FRunEnd =
            FLastTransferReport == um::HttpStatus ? TRunEnd::ControlFileMissing : TRunEnd::ServerUnreachable;
        ReportStatus(um::ControlFileNotFound, "", 2, 0);
        return 4;
    }
    ReportStatus(um::ControlFileFound, "", 3, 0);
    FControlFilePath = dir + LocalFileName(url);
    // Verified and read from the same bytes: nothing can change between the two.
    const std::optional<QByteArray> bytes = ReadSmallFile(FControlFilePath, kMaxControlFileSize);
    if (!bytes) {
        FRunEnd = TRunEnd::ControlFileMissing;
        ReportStatus(um::ControlFileNotFound, "", 2, 0);
        return 4;
    }
    if (RequireSignature) {
        if (!PublicKey)
            return CheckOnly();
        const int verified = VerifyControlFile(url, *bytes);
        if (verified != 0)
            return verified;
    }
    FIni = TIniFile::FromBytes(*bytes);
    if (!InstallAllowed)
        return ReportAvailability();

    int result = 0;
    if (SignatureCheck && FIni.ReadString(cf::SecUpdate, cf::KeySignature, "") != Signature) {
        ReportStatus(um::InvalidSignature, "", 11, 4);
        result = 5;
    }

    FAppUpdate = FIni.ReadFlag(cf::SecApplication, cf::KeyAppUpdate);
    const QString appName = ReadPathValue(cf::SecApplication, cf::KeyAppName);
    QString params = FIni.ReadString(cf::SecApplication, cf::KeyAppParam, "");
    if (appName.isEmpty())
        FAppUpdate = false;
    if (OnSetAppParams)
        OnSetAppParams(this, params);
    params = QuoteArgument(params);
    FRestartCommand = params.isEmpty() ? appName : QuoteArgument(appName) + u' ' + params;
    FComponents = ReadPathValue(cf::SecApplication, cf::KeyAppComps);
    FSilentRestart = FIni.ReadFlag(cf::SecApplication, cf::KeySilentRestart);
    return result;
}

void TUpdateEngine::Refuse(int msgNo, const QString& param, int reason) {
    FRefused = true;
    FRunEnd = TRunEnd::Refused;
    FAppUpdate = false;
    ReportStatus(msgNo, param, um::RefusedStatus, reason);
}

// The signature beside the control file, checked before a single key of the control file is
// read; its trusted comment carries the release version, which may not be older than ours.
int TUpdateEngine::VerifyControlFile(const QString& url, const QByteArray& controlFile) {
    const QString sigUrl = url + SignatureSuffix;
    // A failed request is this step's own refusal, not a missing control file.
    QString failure;
    const TStatusReporter report = ctx_.Events.ReportStatus;
    ctx_.Events.ReportStatus = [&](int msgNo, const QString& param, int status, int err) {
        if (msgNo == um::HttpStatus || msgNo == um::UrlNotFound)
            failure = FormatUpdateMessage(msgNo, param);
        else
            report(msgNo, param, status, err);
    };
    bool fetched = false;
    try {
        fetched = Download(sigUrl, false, RunDirectory());
    } catch (...) {
        ctx_.Events.ReportStatus = report;
        throw;
    }
    ctx_.Events.ReportStatus = report;
    if (!fetched && FLastTruncated) {
        Refuse(um::DownloadIncomplete, sigUrl, um::rfIncomplete);
        return 5;
    }
    if (!fetched) {
        Refuse(um::SignatureMissing, failure.isEmpty() ? sigUrl : sigUrl + " (" + failure + ")",
               um::rfSignatureMissing);
        return 5;
    }
    const std::optional<QByteArray> sigText =
        ReadSmallFile(RunDirectory() + LocalFileName(sigUrl), kMaxMinisignFileSize);
    QString why = "signature file too large";
    const std::optional<TMinisignSignature> sig =
        sigText ? ParseMinisignSignature(*sigText, &why) : std::nullopt;
    if (!sig) {
        Refuse(um::SignatureMalformed, why, um::rfSignatureMalformed);
        return 5;
    }
    switch (VerifyMinisign(*PublicKey, *sig, controlFile)) {
    case TSignatureVerdict::Valid:
        break;
    case TSignatureVerdict::OtherKey:
        Refuse(um::SignatureOtherKey, sig->KeyIdText(), um::rfOtherKey);
        return 5;
    case TSignatureVerdict::BadSignature:
    case TSignatureVerdict::BadTrustedComment:
        Refuse(um::InvalidSignature, "", um::rfBadSignature);
        return 5;
    }
    const QString version = TrustedCommentVersion(sig->TrustedComment);
    const std::optional<TFileVersion> signedVersion = ParseVersionText(version);
    if (version.isEmpty() || !signedVersion) {
        Refuse(um::SignatureMalformed, "the trusted comment names no release version (version:...)",
               um::rfSignatureMalformed);
        return 5;
    }
    const std::optional<TFileVersion> installed = ParseVersionText(InstalledVersion);
    if (installed && (signedVersion->MS < installed->MS ||
                      (signedVersion->MS == installed->MS && signedVersion->LS < installed->LS))) {
        Refuse(um::OlderRelease, version + " < " + InstalledVersion, um::rfOlderRelease);
        return 5;
    }
    FSignedVersion = version;
    ReportStatus(um::SignatureVerified, version, 3, 0);
    return 0;
}

// Without a public key nothing can be trusted: the announced version is compared with ours
// (no local file is looked at, no action runs) and the run ends saying why.
int TUpdateEngine::CheckOnly() {
    FNewVersion.clear();
    QByteArray bytes;
    if (const std::optional<QByteArray> read = ReadSmallFile(FControlFilePath, kMaxControlFileSize))
        bytes = *read;
    const TIniFile unverified = TIniFile::FromBytes(bytes);
    const QString announced = unverified.ReadString(cf::SecUpdate, cf::KeyNewVersion, QString());
    const std::optional<TFileVersion> newer = ParseVersionText(announced);
    const std::optional<TFileVersion> installed = ParseVersionText(InstalledVersion);
    if (newer && installed &&
        (newer->MS > installed->MS || (newer->MS == installed->MS && newer->LS > installed->LS))) {
        FNewVersion = VersionToText(*newer);
        ReportStatus(um::NewVersionFound, FNewVersion, 5, 0);
    } else
        ReportStatus(um::NoNewVersion, "", 4, 0);
    FAppUpdate = false;
    FRunEnd = TRunEnd::CheckedOnly;
    ReportStatus(um::NoPublicKey, "", um::RefusedStatus, um::rfNoPublicKey);
    return 5;
}

// An installed program: the verified release version (the control file's own only where no
// signature is required) against ours, and the run ends.
int TUpdateEngine::ReportAvailability() {
    FNewVersion.clear();
    FAppUpdate = false;
    FRunEnd = TRunEnd::CheckedOnly;
    const QString offered =
        RequireSignature ? FSignedVersion : FIni.ReadString(cf::SecUpdate, cf::KeyNewVersion, QString());
    const std::optional<TFileVersion> offeredVersion = ParseVersionText(offered);
    const std::optional<TFileVersion> installed = ParseVersionText(InstalledVersion);
    if (offeredVersion && installed &&
        (offeredVersion->MS > installed->MS ||
         (offeredVersion->MS == installed->MS && offeredVersion->LS > installed->LS))) {
        FNewVersion = offered;
        ReportStatus(um::NewVersionFound, FNewVersion, 5, 0);
    } else
        ReportStatus(um::NoNewVersion, "", 4, 0);
    return 5;
}

int TUpdateEngine::EvaluateUpdateConditions() {
    FRegistryDate = false;
    QDateTime registryDate;
    if (ReadRegistryDate(registryDate)) {
        FRegistryDate = true;
        FLocalDate = registryDate;
    }
    const TUpdateConditions c = ::EvaluateUpdateConditions(FIni, Rules());
    FDescription = c.Description;
    FUpdateDate = c.UpdateDate;
    FLocalDate = c.LocalDate;
    FNewVersion = c.NewVersion;
    FLocalVersion = c.LocalVersion;
    int result = c.Result;
    if (OnCustomValidate) {
        bool allow = true;
        OnCustomValidate(this, FIni.ReadString(cf::SecCustom, cf::KeyValidateMsg, ""),
                         FIni.ReadString(cf::SecCustom, cf::KeyValidateParam, ""), allow);
        result = allow ? ucrCustomValidated : ucrNoUpdate;
    }
    return result;
}

int TUpdateEngine::RunControlActions() {
    const QString msg = ConvertMessage(FIni.ReadString(cf::SecAction, cf::KeyMsg, ""));
    if (!msg.isEmpty()) {
        ReportStatus(um::FoundMessage, "", 3, 0);
        host().Ask(msg, TMsgDlgType::Information, mbOK);
    }
    const QString page = ReadPathValue(cf::SecAction, cf::KeyHtmlDlg);
    if (!page.isEmpty()) {
        ReportStatus(um::FoundHtmlDialog, "", 7, 0);
        HtmlDialog().Show(page);
    }
    const QString runBefore = ReadPathValue(cf::SecAction, cf::KeyRunBefore);
    if (!runBefore.isEmpty())
        ProcessFacility().Start(runBefore, TWindowShow::Normal, false);
    if (OnCustomProcess)
        OnCustomProcess(this, FIni.ReadString(cf::SecCustom, cf::KeyProcessMsg, ""),
                        FIni.ReadString(cf::SecCustom, cf::KeyProcessParam, ""));
    QString address = ReadPathValue(cf::SecAction, cf::KeyShowURL);
    if (!address.isEmpty()) {
        ReportStatus(um::FoundShowUrl, "", 3, 0);
        if (!ProxyUserID.isEmpty())
            address = AddProxyCredentials(address, ProxyUserID, ProxyPassword);
        if (!WebBrowser().OpenNewWindow(address))
            WebBrowser().OpenWithSystemHandler(address);
    }
    const QString query = ConvertMessage(FIni.ReadString(cf::SecAction, cf::KeyQuery, ""));
    if (!query.isEmpty()) {
        ReportStatus(um::FoundQuery, "", 3, 0);
        if (host().Ask(query, TMsgDlgType::Information, mbYes | mbNo) != TModalResult::Yes) {
            FAppUpdate = false;
            return -1;
        }
    }
    return 0;
}

bool TUpdateEngine::FetchText(const QString& section, int msgNo, int statusCode, QStringList& lines) {
    const QString file = FIni.ReadString(section + LanguageID, cf::KeyFile, "");
    if (file.isEmpty())
        return false;
    ReportStatus(msgNo, "", statusCode, 0);
    const QString dir = RunDirectory();
    if (!Download(file, false, dir))
        return false;
    const QString path = dir + LocalFileName(file);
    lines = ReadTextLines(path);
    QFile::remove(path);
    return true;
}

bool TUpdateEngine::FetchWhatsNew(QStringList& lines) {
    return FetchText(cf::SecWhatsNew, um::FoundWhatsNew, 12, lines);
}

bool TUpdateEngine::FetchLicense(QStringList& lines) {
    return FetchText(cf::SecEula, um::FoundLicense, 13, lines);
}

bool TUpdateEngine::ShowReleaseNotes(const QStringList& lines) {
    if (OnDownloadedWhatsNew) {
        int res = 1;
        OnDownloadedWhatsNew(this, lines, res);
        return res == 1;
    }
    TTextDialogRequest r;
    r.Kind = TTextDialogKind::ReleaseNotes;
    r.Caption = FIni.ReadString(cf::SecWhatsNew, cf::KeyCaption, "");
    r.Lines = lines;
    r.OkButton = FIni.ReadString(cf::SecWhatsNew, cf::KeyOkBtn, cf::DefOkBtn);
    r.CancelButton = FIni.ReadString(cf::SecWhatsNew, cf::KeyCancelBtn, cf::DefCancelBtn);
    if (host().ShowText(r))
        return true;
    ReportStatus(um::WhatsNewRefused, "", 14, 0);
    return false;
}

bool TUpdateEngine::ShowLicense(const QStringList& lines) {
    if (OnDownloadedEULA) {
        int res = 1;
        OnDownloadedEULA(this, lines, res);
        return res == 1;
    }
    TTextDialogRequest r;
    r.Kind = TTextDialogKind::License;
    r.Caption = FIni.ReadString(cf::SecEula, cf::KeyCaption, "");
    r.Lines = lines;
    r.OkButton = FIni.ReadString(cf::SecEula, cf::KeyOkBtn, cf::DefOkBtn);
    r.Accept = FIni.ReadString(cf::SecEula, cf::KeyAccept, cf::DefAccept);
    r.NotAccept = FIni.ReadString(cf::SecEula, cf::KeyNotAccept, cf::DefNotAccept);
    return host().ShowText(r);
}

int TUpdateEngine::ReadFileList() {
    return ::ReadFileList(FIni, Rules(), FFileList);
}

bool TUpdateEngine::IsFileNewer(const QString& newVersion, const QString& localFile, qint32 newCheckSum,
                                qint32 newSize) {
    return ::IsFileNewer(Rules(), newVersion, localFile, newCheckSum, newSize);
}

void TUpdateEngine::SelectFilesToFetch() {
    ::SelectFilesToFetch(FFileList, Rules());
    if (OnFileVersionCheck) {
        for (int i = FFileList.Count() - 1; i >= 0; --i) {
            const TFileDescription& e = FFileList[i];
            if (e.NewCustomVer.isEmpty())
                continue;
            bool isNew = true;
            OnFileVersionCheck(this, e.NewCustomVer, e.LocalVersion, isNew);
            if (!isNew)
                FFileList.Items.removeAt(i);
        }
    }
    if (OnGetFileList) {
        QStringList lines;
        for (const TFileDescription& e : FFileList.Items)
            lines << e.Description;
        OnGetFileList(this, lines);
        for (int i = FFileList.Count() - 1; i >= 0; --i) {
            if (i < lines.size() && lines[i].isEmpty())
                FFileList.Items.removeAt(i);
        }
    }
}

bool TUpdateEngine::TargetsWritable() {
    for (const TFileDescription& e : FFileList.Items) {
        if (!DirectoryWritable(e.TargetDir)) {
            Refuse(um::TargetNotWritable,
                   QFileInfo(e.TargetDir.isEmpty() ? "." : e.TargetDir).absoluteFilePath(),
                   um::rfNotWritable);
            return false;
        }
    }
    return true;
}

bool TUpdateEngine::ChecksumsPresent() {
    for (const TFileDescription& e : FFileList.Items) {
        if (!ParseSha256Hex(e.Sha256)) {
            Refuse(um::ChecksumMissing, e.URL, um::rfChecksumMissing);
            return false;
        }
    }
    return true;
}

// Two steps, so that a refused file leaves the program directory as it was: every file is
// received into the run's private directory and checked; only then are they put in place.
int TUpdateEngine::FetchListedFiles() {
    if (!TargetsWritable() || (RequireSignature && !ChecksumsPresent()))
        return -1;
    struct TPending {
        TFileDescription entry;
        QString url;
        TReceivedFile file;
        bool component = false;
    };
    QList<TPending> pending;
    auto dropPending = [&pending] {
        for (const TPending& p : pending)
            QFile::remove(p.file.TempPath);
    };

    TUpdateUpdate mode = UpdateUpdate;
    for (int i = 0; i < FFileList.Count() && !ctx_.Cancelled; ++i) {
        const TFileDescription entry = FFileList[i];
        const QString name = LocalFileName(entry.URL);
        bool fetch = true;
        if (mode == wuuPromptAll) {
            fetch = host().Ask(UpdateMessageText(um::PromptFile) + name, TMsgDlgType::Confirmation,
                               mbYes | mbNo) == TModalResult::Yes;
        } else if (mode == wuuPromptOnce) {
            if (host().Ask(UpdateMessageText(um::PromptFiles), TMsgDlgType::Confirmation, mbYes | mbNo) !=
                TModalResult::Yes)
                break;
        }
        if (mode == wuuPromptOnce)
            mode = wuuSilent;
        if (!fetch)
            continue;
        FFileList.ActiveIndex = i;
        QString url = entry.URL;
        if (OnBeforeFileDownload)
            OnBeforeFileDownload(this, i + 1, entry.Description, url);

        if (UpdateType == fileUpdate) {
            // Local copies keep their one-step transfer.
            if (!entry.TargetDir.isEmpty() && !QFileInfo::exists(entry.TargetDir))
                MakeDirectoryPath(entry.TargetDir);
            if (!Download(url, entry.Compressed, entry.TargetDir)) {
                ReportStatus(um::CannotDownloadFile, url, 2, 0);
                FAppUpdate = false;
            }
            continue;
        }

        const std::optional<QByteArray> expected = ParseSha256Hex(entry.Sha256);
        ctx_.Settings.ComputeSha256 = expected || RequireSignature;
        TPending p{entry, url, ReceiveFile(ctx_, FConnection, url)};
        ctx_.Settings.ComputeSha256 = false;
        if (p.file.Truncated) {
            QFile::remove(p.file.TempPath);
            dropPending();
            Refuse(um::DownloadIncomplete, url, um::rfIncomplete);
            return -1;
        }
        if (!p.file.Complete || !p.file.Received) {
            QFile::remove(p.file.TempPath);
            if (!ctx_.Cancelled) {
                ReportStatus(um::CannotDownloadFile, url, 2, 0);
                FAppUpdate = false;
            }
            continue;
        }
        if ((expected || RequireSignature) && (!expected || *expected != p.file.Sha256)) {
            QFile::remove(p.file.TempPath);
            dropPending();
            Refuse(um::ChecksumMismatch, url + " (sha256 " + Sha256Hex(p.file.Sha256) + ")",
                   um::rfChecksumMismatch);
            return -1;
        }
        // A compressed component counts under its expanded name too.
        QString expandedName;
        if (entry.Compressed && ExtensionOf(p.file.FileName) != ".CAB") {
            if (const std::optional<char> c = Unpacker().SzddMissingChar(p.file.TempPath);
                c && *c != '\0' && !p.file.FileName.isEmpty()) {
                expandedName = p.file.FileName;
                expandedName[expandedName.size() - 1] = QChar::fromLatin1(*c);
            }
        }
        const auto listed = [this](const QString& n) {
            return !n.isEmpty() && !FComponents.isEmpty() && FComponents.contains(n, Qt::CaseInsensitive);
        };
        const QString fileName = LocalFileName(url);
        if (listed(fileName) || listed(expandedName)) {
            FComponentDownloaded = true;
            p.component = true;
            ReportStatus(um::FoundComponent, listed(fileName) ? fileName : expandedName, 0, 0);
        }
        pending.append(p);
    }
    if (ctx_.Cancelled) {
        dropPending();
        return 0;
    }

    for (const TPending& p : pending) {
        const TFileDescription& entry = p.entry;
        if (!entry.TargetDir.isEmpty() && !QFileInfo::exists(entry.TargetDir))
            MakeDirectoryPath(entry.TargetDir);
        if (!PlaceFile(ctx_, p.file, entry.Compressed, entry.TargetDir)) {
            QFile::remove(p.file.TempPath);
            ReportStatus(um::CannotDownloadFile, p.url, 2, 0);
            FAppUpdate = false;
            continue;
        }
        const QString path = entry.TargetDir + p.file.FileName;
        const QString ext = ExtensionOf(p.file.FileName);
        if (ExtractCAB && ext == ".CAB" && !p.component) {
            if (ExtractCabinet(path, entry.TargetDir) != 0)
                ReportStatus(um::CabError, path, 8, 0);
            else if (!KeepIntermediateFiles)
                QFile::remove(path);
        }
        if (ApplyPatch && ext == ".PAT" && !entry.LocalVersion.isEmpty() && !p.component)
            ApplyPatchFile(path, entry);
    }
    return 0;
}

void TUpdateEngine::FinishUpdate() {
    if (ctx_.Cancelled)
        return;
    if (PostUpdateInfo.Enabled && !PostUpdate())
        return;
    if (FRegistryDate)
        StoreRegistryDate();
    const QString updateUrl = FIni.ReadString(cf::SecAction, cf::KeyUpdateURL, "");
    if (!updateUrl.isEmpty()) {
        ReportStatus(um::FoundUrlRedirection, "", 3, 0);
        StoreLastUrl(updateUrl);
    }
    if (Utility && ApplyPatch)
        WriteOutPatcher();
    const QString runAfter = ReadPathValue(cf::SecAction, cf::KeyRunAfter);
    if (!runAfter.isEmpty())
        ProcessFacility().Start(runAfter, TWindowShow::Normal, false);
    ReportStatus(um::Finished, "", 3, 0);
}

void TUpdateEngine::CloseInternet() {
    if (UpdateType != fileUpdate) {
        if (FFtpConnection) {
            FFtpConnection.reset();
            ReportStatus(um::ClosedFtp, "", 3, 0);
        }
        FConnection = nullptr;
        if (FSession) {
            FSession.reset();
            ReportStatus(um::ClosedConnection, "", 3, 0);
        }
        if (FDialup && (UpdateConnect == wucConnectPromptHangup || UpdateConnect == wucConnectSilentHangup)) {
            Internet().AutodialHangup();
            FDialup = false;
            ReportStatus(um::DisconnectDialup, "", 3, 0);
        }
    }
    if (!FControlFilePath.isEmpty())
        QFile::remove(FControlFilePath);
    FConnected = false;
}

bool TUpdateEngine::QueryCancel() {
    bool cancel = false;
    if (OnProgressCancel)
        OnProgressCancel(this, cancel);
    if (cancel)
        ReportStatus(um::DownloadCancelled, "", 0, 0);
    return cancel;
}

void TUpdateEngine::NotifyFileDownloaded(const QString& fileName) {
    if (OnFileDownloaded)
        OnFileDownloaded(this, fileName);
}

// --- hand-off to the updater ----------------------------------------------------------------

void TUpdateEngine::WriteOutUpdater() {
    const QByteArray bytes = updaterOverride_.isEmpty() ? UpdaterResource() : updaterOverride_;
    if (bytes.isEmpty())
        throw EInOutError("The updater is missing from the program");
    // Only this run's private directory: nobody else can place or swap a file there.
    const QString packed = RunDirectory() + "upd.ex_";
    const QString program = RunDirectory() + "upd.exe";
    {
        QFile f(packed);
        if (!f.open(QIODevice::WriteOnly | QIODevice::NewOnly) || f.write(bytes) != bytes.size())
            throw EInOutError(QString("Cannot write %1: %2").arg(packed, f.errorString()));
    }
    const bool expanded = LzExpandFile(packed);
    QFile::remove(packed);
    if (!expanded || !QFileInfo::exists(program))
        throw EInOutError(QString("Cannot expand %1").arg(packed));
    QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void TUpdateEngine::RestartWithUpdater() {
    const QString dir = QDir::currentPath();
    ReportStatus(um::RestartInDirectory, dir, 0, 0);
    if (QueryCancel())
        return;
    bool allow = true;
    if (OnAppRestart)
        OnAppRestart(this, allow);
    else if (!FSilentRestart)
        allow = host().Ask(UpdateMessageText(um::PromptRestart), TMsgDlgType::Confirmation, mbYes | mbNo) ==
                TModalResult::Yes;
    if (!allow)
        return;
    WriteOutUpdater();

    const QString restart = (dir.endsWith(u'/') ? dir : dir + u'/') + FRestartCommand;
    // The private directory's path is quoted when it holds a blank, so it stays one program name.
    FUpdaterCommand = QuoteArgument(RunDirectory() + "upd.exe") + u' ' +
                      QString::number(ProcessFacility().CurrentProcessId()) + u' ' + (Logging ? "L" : "X") +
                      u' ' + QuoteArgument(restart);
    if (!FComponents.isEmpty())
        FUpdaterCommand += u' ' + FComponents;
    ReportStatus(um::Spawn, FUpdaterCommand, 0, 0);
    // The updater gets no open files of the program, so none stays held after the program ends.
    const TProcessStart started = ProcessFacility().Start(FUpdaterCommand, TWindowShow::Normal, false);
    if (!started.ok)
        ReportStatus(um::SpawnFailed, started.errorText, 9, started.errorNumber);
    FRunEnd = TRunEnd::HandedOff;
    if (OnAppDoClose)
        OnAppDoClose(this);
    else
        host().TerminateApplication();
}

// --- switched-off branches ------------------------------------------------------------------

bool TUpdateEngine::PostUpdate() {
    bool allowPost = true;
    if (OnBeforePost)
        OnBeforePost(this, allowPost);
    if (!allowPost)
        return true;
    FPostResult.clear();
    std::unique_ptr<TInternetSession> session = Internet().Open(Agent, Proxy);
    std::unique_ptr<TInternetRequest> request;
    if (session)
        request = session->HttpPost(PostUpdateInfo.Server, 80, PostUpdateInfo.Action,
                                    "Content-Type: application/x-www-form-urlencoded\r\n",
                                    PostUpdateInfo.Data.toLocal8Bit());
    if (!request) {
        ReportStatus(session ? um::PostResourceFailed : um::PostConnectFailed, "", session ? 17 : 16, 5);
        return true;
    }
    QByteArray result;
    char block[4096];
    qint64 n = 0;
    while ((n = request->Read(block, sizeof block)) > 0)
        result.append(block, n);
    FPostResult = QString::fromLocal8Bit(result);
    bool allowResult = true;
    if (OnProcessPostResult)
        OnProcessPostResult(this, allowResult);
    return allowResult;
}

void TUpdateEngine::WriteOutPatcher() {
    // The patcher would come from a "UTIL" resource; this program carries none.
}

void TUpdateEngine::ApplyPatchFile(const QString& patchPath, const TFileDescription& entry) {
    QString cmd = "patcher.exe";
    if (Logging)
        cmd += " -v";
    cmd += u' ' + QFileInfo(patchPath).fileName() + u' ' + entry.LocalVersion;
    if (Logging)
        cmd += " >> " + LogFileName;
    ReportStatus(um::PatcherCommand, cmd, 3, 0);
    const bool show = Utility && Utility->ShowWindow;
    ProcessFacility().RunAndWait(cmd, show ? TWindowShow::Normal : TWindowShow::Hidden);
    if (!KeepIntermediateFiles)
        QFile::remove(patchPath);
}

// Registry values: kept in the user's (or the machine's) settings under Key/Section.
namespace {
std::unique_ptr<QSettings> OpenRegistry(const TLastURLEntry& e) {
    const QSettings::Scope scope =
        e.RegRoot == lurLOCALMACHINE ? QSettings::SystemScope : QSettings::UserScope;
    QString key = e.Key;
    key.replace(u'\\', u'/');
    auto s = std::make_unique<QSettings>(QSettings::IniFormat, scope,
                                         key.section(u'/', 0, 0, QString::SectionSkipEmpty),
                                         key.section(u'/', 1, -1, QString::SectionSkipEmpty));
    s->beginGroup(e.Section);
    return s;
}
} // namespace

bool TUpdateEngine::ReadRegistryDate(QDateTime& date) {
    if (LastURLEntry.Key.isEmpty() || LastURLEntry.Section.isEmpty())
        return false;
    auto s = OpenRegistry(LastURLEntry);
    const QString d = s->value("LastDate").toString();
    if (d.isEmpty())
        return false;
    date = ParseUpdateDate(d, s->value("LastTime").toString(), DateFormat, DateSeparator, TimeSeparator);
    return true;
}

void TUpdateEngine::StoreRegistryDate() {
    if (!LastURLEntry.Save || LastURLEntry.Key.isEmpty() || LastURLEntry.Section.isEmpty())
        return;
    auto two = [](int n) { return QString::number(n).rightJustified(2, u'0'); };
    auto s = OpenRegistry(LastURLEntry);
    const QDate d = FUpdateDate.date();
    s->setValue("LastDate", two(d.day()) + DateSeparator + two(d.month()) + DateSeparator +
                                QString::number(d.year()).rightJustified(4, u'0'));
    const QTime t = FUpdateDate.time();
    if (t != QTime(0, 0))
        s->setValue("LastTime", two(t.hour()) + TimeSeparator + two(t.minute()));
}

QString TUpdateEngine::StoredLastUrl() {
    return OpenRegistry(LastURLEntry)->value("LastURL").toString();
}

void TUpdateEngine::StoreLastUrl(const QString& url) {
    if (!LastURLEntry.Save || LastURLEntry.Key.isEmpty() || LastURLEntry.Section.isEmpty())
        return;
    OpenRegistry(LastURLEntry)->setValue("LastURL", url);
}
