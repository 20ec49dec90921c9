#pragma once
// The update control file: its sections and keys, the update decision and the file list.
#include "update/IniFile.h"
#include "update/PrefixExpansion.h"
#include "update/UpdateTypes.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <functional>
#include <optional>

namespace cf {
// Sections (compared without regard to case) and keys.
inline const QString SecUpdate = "update";
inline const QString KeySignature = "signature";
inline const QString KeyDescr = "descr";
inline const QString KeyDate = "date";
inline const QString KeyTime = "time";
inline const QString KeyLocalVersion = "localversion";
inline const QString KeyUnconditional = "unconditional";
inline const QString KeyNewVersion = "newversion";
inline const QString KeyNewSize = "newsize";
inline const QString KeyNewChecksum = "newchecksum";

inline const QString SecApplication = "application";
inline const QString KeyAppUpdate = "appupdate";
inline const QString KeyAppName = "appname";
inline const QString KeyAppParam = "appparam";
inline const QString KeyAppComps = "appcomps";
inline const QString KeySilentRestart = "silentrestart";

inline const QString SecAction = "action";
inline const QString KeyMsg = "msg";
inline const QString KeyHtmlDlg = "htmldlg";
inline const QString KeyRunBefore = "runbefore";
inline const QString KeyShowURL = "showURL";
inline const QString KeyQuery = "query";
inline const QString KeyUpdateURL = "updateURL";
inline const QString KeyRunAfter = "runafter";

inline const QString SecCustom = "custom";
inline const QString KeyValidateMsg = "validatemsg";
inline const QString KeyValidateParam = "validateparam";
inline const QString KeyProcessMsg = "processmsg";
inline const QString KeyProcessParam = "processparam";

inline const QString SecWhatsNew = "whatsnew"; // + LanguageID for KeyFile only
inline const QString SecEula = "eula";         // + LanguageID for KeyFile only
inline const QString KeyFile = "file";
inline const QString KeyCaption = "caption";
inline const QString KeyOkBtn = "okbtn";
inline const QString KeyCancelBtn = "cancelbtn";
inline const QString KeyAccept = "accept";
inline const QString KeyNotAccept = "notaccept";
inline const QString DefOkBtn = "Ok";
inline const QString DefCancelBtn = "Cancel";
inline const QString DefAccept = "I accept";
inline const QString DefNotAccept = "I do not accept";

inline const QString SecFiles = "files";
inline const QString KeyCount = "count";
inline const QString SecFilePrefix = "file"; // file1, file2, ...
inline const QString KeyUrl = "url";
inline const QString KeyCustomVersion = "customversion";
inline const QString KeyTargetDir = "targetdir";
inline const QString KeyCompressed = "compressed";
inline const QString KeyFileSize = "filesize";
inline const QString KeyMandatory = "mandatory";
inline const QString KeyHidden = "hidden";
inline const QString KeySha256 = "sha256"; // SHA-256 of the file as downloaded, 64 hex digits
} // namespace cf

// Result codes of the update decision; every code but ucrNoUpdate means an update exists.
enum TUpdateCheckResult : int {
    ucrNewDate = 6,
    ucrNoUpdate = 7,
    ucrUnconditional = 8,
    ucrSizeBased = 9,
    ucrChecksumBased = 10,
    ucrVersionBased = 11,
    ucrCustomValidated = 12,
};

// The engine settings the control-file rules depend on.
struct TUpdateRules {
    TVersionCheck VersionCheck = vcUpdateOnly;
    bool UseCRC32 = false;
    QString DateFormat = "dd/mm/yyyy";
    QChar DateSeparator = '/';
    QString TimeFormat = "hh:nn";
    QChar TimeSeparator = ':';
    // Local date from the last-check registry entry, when configured; else the file's date.
    std::optional<QDateTime> LastCheckDate;
    // OnConvertPrefix: offered every path and URL before expansion (unbound: unchanged).
    std::function<void(QString& Path)> ConvertPrefix;
    // ResolvePrefix: one prefix name to its directory (unbound: StandardPrefix).
    TPrefixResolver ResolvePrefix;
    // Status reports (928-933); may be empty.
    TStatusReporter Report;
};

// Prefix expansion of a path or URL value with the rules' ConvertPrefix and ResolvePrefix.
QString ExpandPath(const TUpdateRules& rules, const QString& value);

// A message value: every backslash + "n" becomes a line break ("\r").
QString ConvertMessage(const QString& value);

// Reads a path or URL value with prefix expansion.
QString ReadPath(const TIniFile& ini, const TUpdateRules& rules, const QString& section, const QString& key);

// One entry of the control file's file list, fields in their declared order.
struct TFileDescription {
    bool Compressed = false;
    qint32 NewCheckSum = -1;
    qint32 NewSize = 0;
    QString URL;
    QString TargetDir; // with a trailing separator when not empty
    QString LocalVersion;
    QString NewVersion;
    QString Description;
    QString NewCustomVer;
    qint32 FileSize = 0;
    QString NewDate;
    QString NewTime;
    bool Mandatory = false;
    bool Hidden = false;
    bool Selected = false;
    QString Sha256; // "sha256", as written (checked against the download)
};

// The engine's file list.
class TFileList {
public:
    QList<TFileDescription> Items;
    int ActiveIndex = -1; // the entry being downloaded (0-based), -1 none

    int Count() const { return Items.size(); }
    void Clear() {
        Items.clear();
        ActiveIndex = -1;
    }
    TFileDescription& operator[](int i) { return Items[i]; }
    const TFileDescription& operator[](int i) const { return Items[i]; }
};

// What the update decision keeps for the run.
struct TUpdateConditions {
    int Result = ucrNoUpdate;
    QString Description;       // descr
    QDateTime UpdateDate;      // date + time (date-based decision)
    QDateTime LocalDate;       // modification time of localversion (date-based decision)
    bool RegistryDate = false; // LocalDate came from LastCheckDate
    QString NewVersion;        // normalised new version text
    QString LocalVersion;      // normalised local version text
};

// The update decision of section "update". Reports 928-933 through rules.Report.
// May throw EIntOverflow (byte-sum checksum of the local file).
TUpdateConditions EvaluateUpdateConditions(const TIniFile& ini, const TUpdateRules& rules);

// Empties list, reads "files"/"count" and, in number order, each of the sections file1..fileN
// that the file holds (url, localversion and targetdir expanded); a missing section gives no
// entry, so the list never holds more entries than the file has sections. Reports 943 when
// count is positive. Returns the number of entries.
int ReadFileList(const TIniFile& ini, const TUpdateRules& rules, TFileList& list);

// Removes the entries that need no download (date rule, then the newness rule).
// onGetFileList, when given, receives the remaining descriptions as lines; every entry whose
// line it empties is removed. May throw EIntOverflow.
void SelectFilesToFetch(TFileList& list, const TUpdateRules& rules,
                        const std::function<void(QStringList& lines)>& onGetFileList = {});
