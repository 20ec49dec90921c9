#pragma once
// zw-publish: turns a directory with a release's files into the tree an update server serves:
// update/zettelwerk/zettelwerk.inf (the control file the update engine reads) and the packed
// files it names, each with its size and SHA-256.
//
// Every file of the release replaces its namesake after the program has ended: it travels as
// "<name>_new", which the updater puts in place of "<name>" (keeping the old file's permissions).
#include <QString>
#include <QStringList>
#include <functional>

enum class TPackKind {
    Cabinet, // one cabinet of all files; the updater unpacks it after the program has ended
    Szdd,    // each file LZ-compressed (SZDD); the engine expands it after the download
};

struct TPublishRequest {
    QString ReleaseDirectory; // the new release's files (top level only)
    QString Version;          // the new release's version, e.g. 1.0.1
    QString BaseUrl;          // scheme and host of the update server, e.g. https://updates.example.org
    QString OutputDirectory;  // where the server tree is written
    TPackKind Pack = TPackKind::Cabinet;
    QString Program = "zettelwerk"; // the executable: version check and restart
    QStringList Exclude = {"notizen.gdb", "notizenbackup.gbk", "WUPDATE.LOG", "HelpDebug.txt"};
    QString Description;        // default "Zettelwerk <version>"
    bool SilentRestart = false; // restart without asking the user
};

struct TPublishResult {
    bool Ok = false;
    QString Error;
    QString ControlFile;     // .../update/zettelwerk/zettelwerk.inf
    QStringList Published;   // release files, in the order of the control file
    QStringList Skipped;     // left out (user data, logs, --exclude)
    QStringList ServerFiles; // files written beside the control file
    QString TrustedComment;  // what the signature's trusted comment must say
};

// The path below the server's root, fixed by the program.
inline const QString kUpdateTreePath = QStringLiteral("update/zettelwerk");

// Writes the tree; never touches the release directory. Makes cabinets with the gcab command.
TPublishResult Publish(const TPublishRequest& request);

// The minisign command line that signs the control file for the release.
QStringList SignCommand(const QString& secretKey, const TPublishResult& result);
