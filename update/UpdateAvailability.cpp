#include "update/UpdateAvailability.h"

#include "store/FieldText.h"
#include "store/SettingsStatements.h"
#include "store/TDataModuleNotizen.h"
#include "store/TSettings.h"
#include "update/CurrentDirectory.h"
#include "update/TUpdateEngine.h"
#include "update/TfrmUpdate.h"
#include "update/UpdateKey.h"

#include <QCoreApplication>
#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <cstdio>
#include <unistd.h>

namespace {

// The automatic check asks nobody: it only reports.
class TSilentHost : public TUpdateHost {
public:
    TModalResult Ask(const QString&, TMsgDlgType, int buttons) override {
        return (buttons & mbNo) ? TModalResult::No : TModalResult::OK;
    }
    bool ShowText(const TTextDialogRequest&) override { return false; }
    void TerminateApplication() override {}
};

} // namespace

QString ShortVersion(QString version) {
    while (version.count(u'.') > 2 && version.endsWith(QStringLiteral(".0")))
        version.chop(2);
    return version;
}

TInstallKind ClassifyInstallation(bool programDirectoryWritable, bool listedByPackage) {
    if (listedByPackage)
        return TInstallKind::DebianPackage;
    return programDirectoryWritable ? TInstallKind::SelfUpdating : TInstallKind::ReadOnly;
}

TInstallKind InstallKindOf(const QString& programDirectory, const QString& packageFileList) {
    const QString dir = QFileInfo(programDirectory).absoluteFilePath();
    const bool writable =
        QFileInfo(dir).isDir() && ::access(QFile::encodeName(dir).constData(), W_OK | X_OK) == 0;
    bool listed = false;
    QFile list(packageFileList);
    if (list.open(QIODevice::ReadOnly)) {
        const QByteArray program = QFile::encodeName(QDir(dir).filePath(QStringLiteral("zettelwerk")));
        while (!list.atEnd() && !listed)
            listed = list.readLine().trimmed() == program;
    }
    return ClassifyInstallation(writable, listed);
}

QString PackageSourceUrl(const QString& controlFileUrl) {
    const QUrl url(controlFileUrl);
    return url.adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment).toString() +
           QStringLiteral("/apt");
}

QString NewerReleaseText(TInstallKind kind, const QString& newVersion, const QString& installedVersion,
                         bool verified, const QString& programDirectory, const QString& packageSource,
                         bool shortLines) {
    // A message box does not wrap its lines; a notification does.
    const QString wrap = shortLines ? QStringLiteral("\n") : QStringLiteral(" ");
    QString text = QString::fromUtf8("Version %1 von Zettelwerk ist verfügbar; installiert ist %2.\n")
                       .arg(ShortVersion(newVersion), ShortVersion(installedVersion));
    if (kind == TInstallKind::DebianPackage)
        text +=
            QString::fromUtf8("Zettelwerk ist als Debian-Paket installiert und wird mit der Paketverwaltung%1"
                              "aktualisiert, in der Softwareverwaltung des Desktops oder im Terminal mit:\n"
                              "%2\nDie Paketquelle von Zettelwerk: %3")
                .arg(wrap, kPackageUpgradeCommand, packageSource);
    else
        text += QString::fromUtf8("Das Programmverzeichnis %1 ist schreibgeschützt:%2"
                                  "das Update installiert, wer Zettelwerk dort installiert hat.")
                    .arg(QDir::toNativeSeparators(programDirectory), wrap);
    if (!verified)
        text += QString::fromUtf8(
            "\n(Ungeprüfte Angabe: Zettelwerk hat keinen öffentlichen Schlüssel für Updates.)");
    return text;
}

bool AutomaticCheckDue(TInstallKind kind, const QString& automaticUpdateFlag, const QString& lastCheckText,
                       const QString& todayText) {
    return kind != TInstallKind::SelfUpdating && AutomaticUpdateMeaning(automaticUpdateFlag) == true &&
           lastCheckText != todayText;
}

TAutomaticUpdateCheck::TAutomaticUpdateCheck(TDataModuleNotizen& dataModule,
                                             std::function<void(const QString&, const QString&)> notify)
    : ProgramDirectory(QCoreApplication::applicationDirPath()),
      ControlFileUrl(TfrmUpdate::DefaultUpdateUrl()), dm_(dataModule), notify_(std::move(notify)) {}

TAutomaticUpdateCheck::TOutcome TAutomaticUpdateCheck::RunIfDue() {
    try {
        const TInstallKind kind = InstallKindOf(ProgramDirectory, PackageFileList);
        // Before the first-start question is answered there is no settings row, and the date
        // must not make one.
        if (kind == TInstallKind::SelfUpdating || CountSettingsRows(dm_) != 1)
            return TOutcome::NotDue;
        const TSettingsRow row = ReadSettings(dm_);
        if (!AutomaticCheckDue(kind, row.automaticUpdate, row.lastUpdateTestDatum,
                               ShortDateText(QDate::currentDate())))
            return TOutcome::NotDue;

        TUpdateEngine engine;
        TSilentHost host;
        engine.SetHost(&host);
        engine.UpdateType = httpUpdate;
        engine.URL = ControlFileUrl;
        engine.UpdateConnect = wucNoConnect;
        engine.Logging = true;
        engine.InstallAllowed = false;
        engine.PublicKey = FindUpdatePublicKey(ProgramDirectory).Key;
        engine.InstalledVersion = RunningProgramVersion();
        bool reached = false;
        engine.OnFileDownloaded = [&reached](TUpdateEngine*, const QString&) { reached = true; };
        {
            TCurrentDirectory inDataDirectory(dm_.ProgramDirectory());
            engine.RunUpdate();
        }
        if (!reached)
            return TOutcome::Failed;
        RecordUpdateCheckDate(dm_);
        if (engine.NewVersion().isEmpty())
            return engine.RunEnd() == TRunEnd::CheckedOnly ? TOutcome::NothingNew : TOutcome::Failed;
        notify_(QString::fromUtf8("Zettelwerk %1 ist verfügbar").arg(ShortVersion(engine.NewVersion())),
                NewerReleaseText(kind, engine.NewVersion(), engine.InstalledVersion,
                                 engine.PublicKey.has_value(), ProgramDirectory,
                                 PackageSourceUrl(ControlFileUrl), false));
        return TOutcome::Newer;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zettelwerk: automatic update check: %s\n", e.what());
        return TOutcome::Failed;
    }
}
