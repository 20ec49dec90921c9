#pragma once
// An installed program does not replace its own files: it reads the signed control file, tells
// whether a newer release exists and who installs it (for the Debian package: apt). Used by the
// update window and by the automatic check of the tray program.
#include <QString>
#include <functional>

class QDate;
class TDataModuleNotizen;

enum class TInstallKind {
    SelfUpdating,  // a directory of its own that the user may write (build tree, portable copy)
    DebianPackage, // the files belong to the package zettelwerk: apt updates them
    ReadOnly,      // installed otherwise (cmake --install) into a directory the user cannot write
};

inline const QString kPackageFileList = QStringLiteral("/var/lib/dpkg/info/zettelwerk.list");
inline const QString kPackageUpgradeCommand =
    QStringLiteral("sudo apt update && sudo apt install --only-upgrade zettelwerk");

// The rule: the package manager's files are never replaced by the program, even where root could.
TInstallKind ClassifyInstallation(bool programDirectoryWritable, bool listedByPackage);
// The facts from the disk: whether the program directory may be written, and whether the
// package's file list (dpkg's <package>.list) names <program directory>/zettelwerk.
TInstallKind InstallKindOf(const QString& programDirectory,
                           const QString& packageFileList = kPackageFileList);

// A version as the package names it: 1.0.1.0 is 1.0.1.
QString ShortVersion(QString version);

// The address of the package source beside the update tree: <scheme://host>/apt.
QString PackageSourceUrl(const QString& controlFileUrl);

// What the user is told of a newer release when the program cannot install it itself.
// verified: the version came from a valid signature, not only from the control file's text.
// shortLines: broken for a message box (which does not wrap), else for a notification.
QString NewerReleaseText(TInstallKind kind, const QString& newVersion, const QString& installedVersion,
                         bool verified, const QString& programDirectory, const QString& packageSource,
                         bool shortLines = true);

// The automatic check runs at most once a day, only where the program cannot update itself (a
// self-updating program is updated from the update window), and only with the box ticked
// (flag "1" or empty, as the window reads it).
bool AutomaticCheckDue(TInstallKind kind, const QString& automaticUpdateFlag, const QString& lastCheckText,
                       const QString& todayText);

// One check of the installed program without any window: settings read from and the date
// recorded in the database, the log and the run's files in the data module's directory (never
// the program's). Tells `notify` (title, text) when a newer release exists; failures stay in
// the log and on standard error.
class TAutomaticUpdateCheck {
public:
    TAutomaticUpdateCheck(TDataModuleNotizen& dataModule,
                          std::function<void(const QString&, const QString&)> notify);

    QString ProgramDirectory;                   // default: the executable's directory
    QString PackageFileList = kPackageFileList; // tests name a list of their own
    QString ControlFileUrl;                     // default: the update window's

    enum class TOutcome { NotDue, NothingNew, Newer, Failed };
    TOutcome RunIfDue();

private:
    TDataModuleNotizen& dm_;
    std::function<void(const QString&, const QString&)> notify_;
};
