#pragma once
// The update engine: one update run on request (connection, control file, actions, downloads,
// hand-off to the updater). It talks to its host window through TUpdateHost and its events.
#include "ui/MessageDialogs.h"
#include "update/ControlFile.h"
#include "update/FileTransfer.h"
#include "update/IniFile.h"
#include "update/Minisign.h"
#include "update/UpdateTypes.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class QTemporaryDir;
class TInternetConnection;
class TInternetSession;

enum TUpdateConnect {
    wucNoConnect = 0,
    wucConnectPrompt = 1,
    wucConnectSilent = 2,
    wucConnectPromptHangup = 3,
    wucConnectSilentHangup = 4,
    wucNone = 5
};
enum TUpdateUpdate { wuuPromptOnce = 0, wuuPromptAll = 1, wuuSilent = 2 };
enum TLastURLRegRoot { lurLOCALUSER = 0, lurLOCALMACHINE = 1 };

// How the last run ended, for a host that tells the user.
enum class TRunEnd {
    None,               // no run yet
    Offline,            // no connection and no dial-up allowed (ends after report 918)
    NoSession,          // dial-up or session failure
    ServerUnreachable,  // the control file's request could not be opened (917)
    ControlFileMissing, // the server answered the control file with an error status (916)
    Refused,            // the update was refused (status um::RefusedStatus, see ErrCode)
    CheckedOnly,        // no public key, or not to install: checked and reported, nothing installed
    NoUpdate,           // no update, nothing to download, or declined
    Finished,           // files were downloaded and put in place
    HandedOff,          // the updater was started and the program told to end
};

struct TLastURLEntry {
    bool Save = false;
    QString Key;
    QString Section;
    TLastURLRegRoot RegRoot = lurLOCALUSER;
};

struct TPostUpdateInfo {
    QString Server;
    QString Action;
    QString Data;
    bool Enabled = false;
};

// Settings for running the outside patch program.
class TUpdateUtility : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    bool ShowWindow = false;
    bool ShowAnimation = false;
    QString StatusMessage;
    QString StatusCaption;
};

// The built-in release-notes and licence dialogs.
enum class TTextDialogKind { ReleaseNotes, License };
struct TTextDialogRequest {
    TTextDialogKind Kind = TTextDialogKind::ReleaseNotes;
    QString Caption;
    QStringList Lines;
    QString OkButton;     // "okbtn"
    QString CancelButton; // "cancelbtn" (release notes)
    QString Accept;       // "accept" (licence)
    QString NotAccept;    // "notaccept" (licence, preselected)
};

// What the engine needs from the program around it.
class TUpdateHost {
public:
    virtual ~TUpdateHost() = default;
    // A message box of the given kind and buttons (Information with OK, Information with Yes/No,
    // Confirmation with Yes/No, Error with OK).
    virtual TModalResult Ask(const QString& text, TMsgDlgType type, int buttons) = 0;
    // The release-notes or licence dialog; true when accepted.
    virtual bool ShowText(const TTextDialogRequest& request) = 0;
    // Tells the application to end once the running handler has returned.
    virtual void TerminateApplication() = 0;
};

// The host of a real program: message dialogs, the text dialogs below, application quit.
class TWidgetUpdateHost : public TUpdateHost {
public:
    TModalResult Ask(const QString& text, TMsgDlgType type, int buttons) override;
    bool ShowText(const TTextDialogRequest& request) override;
    void TerminateApplication() override;
};

// The built-in text dialogs; exposed for tests. The dialog is built, not shown.
class QDialog;
std::unique_ptr<QDialog> BuildTextDialog(const TTextDialogRequest& request);
// Tests: answers the next text dialogs instead of showing them (empty: show them).
void SetTextDialogAnswerer(std::function<bool(QDialog& dialog, const TTextDialogRequest& request)> answerer);

class TUpdateEngine : public QObject {
    Q_OBJECT
public:
    explicit TUpdateEngine(QObject* owner = nullptr);
    ~TUpdateEngine() override;

    // --- configuration ---
    TUpdateType UpdateType = ftpUpdate;
    QString URL;
    TUpdateConnect UpdateConnect = wucNoConnect;
    TUpdateUpdate UpdateUpdate = wuuPromptOnce;
    TVersionCheck VersionCheck = vcUpdateOnly;
    TAuthenticate Authenticate = waNever;
    QString Agent = "TUpdateEngine";
    bool Logging = false;
    inline static QString LogFileName = "WUPDATE.LOG"; // one name for every engine of the process
    QString TempDirectory = ".";
    QString DateFormat = "dd/mm/yyyy";
    QChar DateSeparator = '/';
    QString TimeFormat = "hh:nn";
    QChar TimeSeparator = ':';
    QString Signature = "ZettelwerkUpdate";
    bool SignatureCheck = false;
    bool UseCRC32 = false;
    bool ExtractCAB = false;
    bool ApplyPatch = false;
    bool KeepIntermediateFiles = false;
    bool ExistingConnection = false;
    bool HTTPKeepAliveAuthentication = false;
    QString UserID;
    QString Password;
    QString Proxy;
    QString ProxyUserID;
    QString ProxyPassword;
    QString Host;
    int Port = 21;
    QString FTPDirectory;
    bool FTPPassive = false;
    QString LanguageID;
    TLastURLEntry LastURLEntry;
    TPostUpdateInfo PostUpdateInfo;
    QPointer<TUpdateUtility> Utility; // forgotten when the partner is destroyed
    // Trust: the control file is read only after its detached minisign signature (the control
    // file's URL + SignatureSuffix) was verified against PublicKey; every listed file must carry
    // the SHA-256 of its download. Without a key the run checks and reports, and installs
    // nothing. Off only for tests of the run's mechanics.
    bool RequireSignature = true;
    std::optional<TMinisignPublicKey> PublicKey;
    QString SignatureSuffix = ".minisig";
    // false: an installed program that the package manager updates. The run verifies the control
    // file, reports whether the signed release is newer (status 5) or not (status 4) and ends:
    // nothing is downloaded beyond the control file and its signature, nothing installed.
    bool InstallAllowed = true;
    // The running program's version: a signed release older than this is refused.
    QString InstalledVersion = Version();
    // The engine's own version: the program's release version in four parts.
    static QString Version();

    // --- events (the first argument is the engine) ---
    std::function<void(TUpdateEngine*, const QString& StatusStr, int StatusCode, int ErrCode)> OnStatus;
    std::function<void(TUpdateEngine*, const QString& FileName, int Pos, int Size)> OnFileProgress;
    std::function<void(TUpdateEngine*, int FileIdx, const QString& FileDescription, QString& URL)>
        OnBeforeFileDownload;
    std::function<void(TUpdateEngine*, const QString& FileName)> OnFileDownloaded;
    std::function<void(TUpdateEngine*, bool& Cancel)> OnProgressCancel;
    std::function<void(TUpdateEngine*, bool& Allow)> OnAppRestart;
    std::function<void(TUpdateEngine*)> OnAppDoClose;
    std::function<void(TUpdateEngine*, QString& AppParams)> OnSetAppParams;
    std::function<void(TUpdateEngine*, QString& Path)> OnConvertPrefix;
    std::function<void(TUpdateEngine*, const QString& URL, QString& FName)> OnFileNameFromURL;
    std::function<void(TUpdateEngine*, const QString& NewVersion, const QString& LocalVersion, bool& IsNew)>
        OnFileVersionCheck;
    std::function<void(TUpdateEngine*, QStringList& List)> OnGetFileList;
    std::function<void(TUpdateEngine*, const QStringList& Text, int& Res)> OnDownloadedWhatsNew;
    std::function<void(TUpdateEngine*, const QStringList& Text, int& Res)> OnDownloadedEULA;
    std::function<void(TUpdateEngine*, const QString& Msg, const QString& Param, bool& Allow)>
        OnCustomValidate;
    std::function<void(TUpdateEngine*, const QString& Msg, const QString& Param)> OnCustomProcess;
    std::function<void(TUpdateEngine*, bool& AllowPost)> OnBeforePost;
    std::function<void(TUpdateEngine*, bool& AllowPostResult)> OnProcessPostResult;
    std::function<void(TUpdateEngine*)> OnSuccess;
    std::function<void(TUpdateEngine*, const QString& Action)> OnProgress; // never raised
    std::function<void(TUpdateEngine*)> OnThreadUpdateDone;                // never raised

    // The host (not owned); nullptr: a TWidgetUpdateHost.
    void SetHost(TUpdateHost* host) { host_ = host; }
    // Tests: the updater resource to write out instead of the executable's own.
    void SetUpdaterResourceOverride(const QByteArray& bytes) { updaterOverride_ = bytes; }

    // One complete update run on the calling thread.
    void RunUpdate();

    // --- what a run found (for the host and for tests) ---
    const TFileList& FileList() const { return FFileList; }
    bool AppUpdate() const { return FAppUpdate; }
    bool ComponentDownloaded() const { return FComponentDownloaded; }
    bool Cancelled() const { return ctx_.Cancelled; }
    QString RestartCommand() const { return FRestartCommand; }
    QString Components() const { return FComponents; }
    QString ControlFilePath() const { return FControlFilePath; }
    QString Description() const { return FDescription; }
    QString NewVersion() const { return FNewVersion; }
    QString LocalVersionText() const { return FLocalVersion; }
    QString PostResult() const { return FPostResult; }
    QString UpdaterCommandLine() const { return FUpdaterCommand; }
    TRunEnd RunEnd() const { return FRunEnd; }
    QString SignedVersion() const { return FSignedVersion; } // from the verified trusted comment
    // The private directory (mode 0700) of the running run; empty between runs.
    QString RunDirectory() const;

    // Reports one status: log line (with Logging) and OnStatus.
    virtual void ReportStatus(int msgNo, const QString& param, int statusCode, int errCode);

protected:
    // Virtual operations in slot order.
    virtual bool ShowReleaseNotes(const QStringList& lines); // true: accepted
    virtual bool ShowLicense(const QStringList& lines);      // true: accepted
    virtual void WriteOutUpdater();
    virtual void WriteOutPatcher();
    virtual bool IsFileNewer(const QString& newVersion, const QString& localFile, qint32 newCheckSum,
                             qint32 newSize);
    virtual bool QueryCancel();
    virtual void NotifyFileDownloaded(const QString& fileName);
    virtual int OpenInternet();
    virtual void CloseInternet();
    virtual bool ConnectFtpHost();
    virtual QString BuildControlFileUrl();
    virtual int FetchControlFile();
    virtual int EvaluateUpdateConditions();
    virtual int RunControlActions();
    virtual bool FetchWhatsNew(QStringList& lines);
    virtual bool FetchLicense(QStringList& lines);
    virtual int ReadFileList();
    virtual void SelectFilesToFetch();
    virtual int FetchListedFiles();
    virtual std::optional<QString> ResolvePrefix(const QString& name);

    void FinishUpdate();
    void RestartWithUpdater();

private:
    TUpdateHost& host();
    TUpdateRules Rules();
    QString Expand(const QString& value);
    QString ReadPathValue(const QString& section, const QString& key);
    QString LocalFileName(const QString& url);
    bool Download(const QString& url, bool compressed, const QString& targetDir);
    bool FetchText(const QString& section, int msgNo, int statusCode, QStringList& lines);
    bool PostUpdate();
    void ApplyPatchFile(const QString& patchPath, const TFileDescription& entry);
    bool ReadRegistryDate(QDateTime& date);
    void StoreRegistryDate();
    QString StoredLastUrl();
    void StoreLastUrl(const QString& url);
    void PrepareTransfer();
    void CreateRunDirectory();
    int VerifyControlFile(const QString& url, const QByteArray& controlFile);
    int CheckOnly();
    int ReportAvailability();
    void Refuse(int msgNo, const QString& param, int reason);
    bool TargetsWritable();
    bool ChecksumsPresent();

    TUpdateHost* host_ = nullptr;
    std::unique_ptr<TUpdateHost> defaultHost_;
    QByteArray updaterOverride_;

    // run state
    std::unique_ptr<TInternetSession> FSession;
    std::unique_ptr<TInternetConnection> FFtpConnection;
    TInternetConnection* FConnection = nullptr;
    bool FDialup = false;
    bool FConnected = false;
    QString FControlFilePath;
    TIniFile FIni;
    bool FAppUpdate = false;
    QString FRestartCommand;
    QString FComponents;
    bool FSilentRestart = false;
    bool FComponentDownloaded = false;
    QDateTime FUpdateDate;
    QDateTime FLocalDate;
    QString FNewVersion;
    QString FLocalVersion;
    QString FDescription;
    TFileList FFileList;
    bool FRegistryDate = false;
    QString FPostResult;
    QString FUpdaterCommand;
    TTransferContext ctx_;
    std::unique_ptr<QTemporaryDir> FRunDir;
    TRunEnd FRunEnd = TRunEnd::None;
    bool FRefused = false;
    int FLastTransferReport = 0; // 916 or 917 of the last failed request
    bool FLastTruncated = false; // the last download ended before the announced length
    QString FSignedVersion;
};
