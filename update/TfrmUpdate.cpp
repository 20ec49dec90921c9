#include "update/TfrmUpdate.h"

#include "platform/AniCursor.h"
#include "store/TDataModuleNotizen.h"
#include "store/TSettings.h"
#include "ui/DbWaitCursor.h"
#include "ui/ErrorDisplay.h"
#include "ui/ImageListMain.h"
#include "ui/MessageDialogs.h"
#include "ui/TextFit.h"
#include "ui/WindowLook.h"
#include "update/CurrentDirectory.h"
#include "update/DownloadCursorData.h"
#include "update/TUpdateEngine.h"
#include "update/UpdateAvailability.h"
#include "update/UpdateKey.h"
#include "update/UpdateMessages.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTemporaryDir>

namespace {
constexpr int kClientWidth = 499;
constexpr int kClientHeight = 113;
constexpr const char* kUpdatePath = "/update/zettelwerk/zettelwerk.inf";
// Set by the build (ZW_UPDATE_SERVER); the default is a reserved name that reaches nobody.
constexpr const char* kUpdateServer = ZW_UPDATE_SERVER;

const QString kNothingChanged =
    QStringLiteral("\nDas Update wurde abgelehnt; am Programm wurde nichts verändert.\n"
                   "Einzelheiten stehen in WUPDATE.LOG.");

} // namespace

QString TfrmUpdate::RefusalText(int errCode) {
    switch (errCode) {
    case um::rfSignatureMissing:
        return "Das Update ist nicht signiert: die Signaturdatei fehlt auf dem Updateserver." +
               kNothingChanged;
    case um::rfSignatureMalformed:
        return "Die Signatur des Updates ist beschädigt oder unvollständig." + kNothingChanged;
    case um::rfOtherKey:
        return "Das Update ist mit einem fremden Schlüssel signiert." + kNothingChanged;
    case um::rfBadSignature:
        return "Die Signatur des Updates passt nicht: die Steuerdatei wurde nach dem Signieren verändert." +
               kNothingChanged;
    case um::rfOlderRelease:
        return "Das angebotene Update ist älter als die installierte Version." + kNothingChanged;
    case um::rfChecksumMissing:
        return "Für eine Datei des Updates fehlt die signierte Prüfsumme." + kNothingChanged;
    case um::rfChecksumMismatch:
        return "Eine heruntergeladene Datei stimmt nicht mit ihrer signierten Prüfsumme überein." +
               kNothingChanged;
    case um::rfIncomplete:
        return "Eine Datei des Updates wurde nur unvollständig heruntergeladen." + kNothingChanged;
    case um::rfNotWritable:
        return "Das Zielverzeichnis des Updates ist schreibgeschützt." + kNothingChanged;
    }
    return QString();
}

QString TfrmUpdate::RefusalStatus(int errCode) {
    switch (errCode) {
    case um::rfSignatureMissing:
        return "Update abgelehnt: Signaturdatei fehlt";
    case um::rfSignatureMalformed:
        return "Update abgelehnt: Signatur beschädigt";
    case um::rfOtherKey:
        return "Update abgelehnt: fremder Schlüssel";
    case um::rfBadSignature:
        return "Update abgelehnt: Signatur ungültig";
    case um::rfOlderRelease:
        return "Update abgelehnt: ältere Version";
    case um::rfChecksumMissing:
        return "Update abgelehnt: Prüfsumme fehlt";
    case um::rfChecksumMismatch:
        return "Update abgelehnt: Prüfsumme falsch";
    case um::rfIncomplete:
        return "Update abgelehnt: Download unvollständig";
    case um::rfNotWritable:
        return "Update abgelehnt: Zielverzeichnis schreibgeschützt";
    }
    return QString();
}

QString TfrmUpdate::DefaultUpdateUrl() {
    // ZETTELWERK_UPDATE_SERVER points a test installation at another server.
    const QString server = qEnvironmentVariableIsSet("ZETTELWERK_UPDATE_SERVER")
                               ? qEnvironmentVariable("ZETTELWERK_UPDATE_SERVER")
                               : QString(kUpdateServer);
    return server + kUpdatePath;
}

TfrmUpdate::TfrmUpdate(TDataModuleNotizen& dataModule, QWidget* parent) : QDialog(parent), dm_(dataModule) {
    ProgramDirectory = QCoreApplication::applicationDirPath();
    setObjectName("frmUpdate");
    setWindowTitle(QStringLiteral("Web-Update (Zettelwerk)"));
    ApplyWindowLook(this);
    setProperty("helpContext", kHelpContext);
    resize(kClientWidth, kClientHeight);

    BitBtnUpdate = new QPushButton(this);
    BitBtnUpdate->setObjectName("BitBtnUpdate");
    BitBtnUpdate->setGeometry(8, 8, 169, 33);
    BitBtnUpdate->setIcon(ImageListMain::Icon(imgUpdate)); // normal and disabled states
    BitBtnUpdate->setAutoDefault(false);
    connect(BitBtnUpdate, &QPushButton::clicked, this, Guarded([this] { BitBtnUpdateClick(); }));

    LabelUpdateVersuch = new QLabel(this);
    LabelUpdateVersuch->setObjectName("LabelUpdateVersuch");
    LabelUpdateVersuch->move(184, 16);

    CBAutomaticUpdateEnabled = new QCheckBox(QStringLiteral("automatisch nach Updates suchen"), this);
    CBAutomaticUpdateEnabled->setObjectName("CBAutomaticUpdateEnabled");
    CBAutomaticUpdateEnabled->setGeometry(8, 48, 473, 17);
    CBAutomaticUpdateEnabled->setChecked(true);

    ProgressBarUpdate = new QProgressBar(this);
    ProgressBarUpdate->setObjectName("ProgressBarUpdate");
    ProgressBarUpdate->setGeometry(0, 78, 501, 16);
    ProgressBarUpdate->setTextVisible(false);
    ProgressBarUpdate->setRange(0, 100);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName("StatusBar1");
    StatusBar1->setSizeGripEnabled(false);

    AniIcon = new TAniIcon(this);
    AniIcon->setObjectName("AniIcon");
    AniIcon->setGeometry(419, 0, 32, 32);
    AniIcon->setAlignment(Qt::AlignCenter);
    AniIcon->AnimationData = DownloadCursorData();
    AniIcon->hide();

    setTabOrder(BitBtnUpdate, ProgressBarUpdate);
    setTabOrder(ProgressBarUpdate, CBAutomaticUpdateEnabled);
    SetTextsToFit(BitBtnUpdate, {kCaptionReady, kCaptionChecking});
    FitText(this);

    UpdateEngine = new TUpdateEngine(this);
    UpdateEngine->setObjectName("UpdateEngine");
    UpdateEngine->UpdateType = httpUpdate;
    UpdateEngine->URL = DefaultUpdateUrl();
    UpdateEngine->UpdateConnect = wucNoConnect;
    UpdateEngine->UpdateUpdate = wuuPromptOnce;
    UpdateEngine->VersionCheck = vcUpdateOnly;
    UpdateEngine->Logging = true;
    UpdateEngine->OnFileProgress = [this](TUpdateEngine* s, const QString& f, int pos, int size) {
        UpdateEngineFileProgress(s, f, pos, size);
    };
    UpdateEngine->OnStatus = [this](TUpdateEngine* s, const QString& text, int status, int err) {
        UpdateEngineStatus(s, text, status, err);
    };
    UpdateEngine->OnBeforeFileDownload = [this](TUpdateEngine* s, int idx, const QString& d, QString& url) {
        UpdateEngineBeforeFileDownload(s, idx, d, url);
    };
    UpdateEngine->OnFileDownloaded = [this](TUpdateEngine* s, const QString& f) {
        UpdateEngineFileDownloaded(s, f);
    };
}

void TfrmUpdate::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    // Status bar along the bottom; the progress bar keeps its distance to the bottom and the sides.
    StatusBar1->setGeometry(0, height() - 19, width(), 19);
    ProgressBarUpdate->setGeometry(0, height() - kClientHeight + 78, width() + 2, 16);
}

void TfrmUpdate::showEvent(QShowEvent* event) {
    if (QScreen* s = QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());
    QDialog::showEvent(event);
    RunGuarded([this] { FormShow(); });
}

void TfrmUpdate::done(int result) {
    RunGuarded([this] { FormClose(); });
    QDialog::done(result);
}

QString TfrmUpdate::StatusText(const QString& statusStr, int statusCode, int errCode) {
    return statusStr + ", Status: " + QString::number(statusCode) + " Error: " + QString::number(errCode);
}

void TfrmUpdate::FormShow() {
    BitBtnUpdate->setText(kCaptionReady);
    BitBtnUpdate->setEnabled(true);
    AniIcon->SetActive(false);
    TSettingsRow row;
    {
        TDbWaitCursor wait;
        row = ReadSettings(dm_);
    }
    LabelUpdateVersuch->setText(QStringLiteral("Letzter Updateversuch:  ") + row.lastUpdateTestDatum);
    LabelUpdateVersuch->adjustSize();
    if (row.automaticUpdate == "1" || row.automaticUpdate.isEmpty())
        CBAutomaticUpdateEnabled->setChecked(true);
    else if (row.automaticUpdate == "0")
        CBAutomaticUpdateEnabled->setChecked(false);
    ProgressBarUpdate->setValue(ProgressBarUpdate->minimum());
}

void TfrmUpdate::BitBtnUpdateClick() {
    BitBtnUpdate->setText(kCaptionChecking);
    BitBtnUpdate->setEnabled(false);
    AniIcon->SetActive(true);
    refusalShown_ = false;
    refusalCode_ = 0;
    // An installed program's files belong to whoever installed it: the run only checks, and
    // works in the user's directory, never in the program's.
    installKind_ = InstallKindOf(ProgramDirectory, PackageFileList);
    const bool selfUpdating = installKind_ == TInstallKind::SelfUpdating;
    const TUpdateKeyLookup key = FindUpdatePublicKey(ProgramDirectory);
    if (!key.Error.isEmpty())
        qWarning("zettelwerk: update key %s unusable: %s", qPrintable(key.Origin), qPrintable(key.Error));
    UpdateEngine->PublicKey = key.Key;
    UpdateEngine->InstalledVersion = RunningProgramVersion();
    UpdateEngine->InstallAllowed = selfUpdating;
    {
        TCurrentDirectory inRunDirectory(selfUpdating ? ProgramDirectory : dm_.ProgramDirectory());
        UpdateEngine->RunUpdate();
    }
    RunEnded();
}

void TfrmUpdate::SetReady() {
    BitBtnUpdate->setText(kCaptionReady);
    BitBtnUpdate->setEnabled(true);
}

void TfrmUpdate::RunEnded() {
    switch (UpdateEngine->RunEnd()) {
    case TRunEnd::HandedOff:
        return; // the program is ending
    case TRunEnd::Offline:
    case TRunEnd::NoSession:
        StatusBar1->showMessage(QStringLiteral("Keine Internetverbindung"));
        SystemMessageBox(QStringLiteral("Keine Verbindung zum Internet.\n"
                                        "Die Updateprüfung wurde beendet; bitte später erneut versuchen."),
                         QStringLiteral("Fehler"));
        AniIcon->SetActive(false);
        break;
    case TRunEnd::ServerUnreachable:
        StatusBar1->showMessage(QStringLiteral("Updateserver nicht erreicht"));
        SystemMessageBox(QStringLiteral("Der Updateserver wurde nicht erreicht.\n"
                                        "Bitte die Internetverbindung prüfen und später erneut versuchen."),
                         QStringLiteral("Fehler"));
        AniIcon->SetActive(false);
        break;
    case TRunEnd::Refused:
        if (refusalShown_) // the status bar ends on the refusal, not on the closing report
            StatusBar1->showMessage(RefusalStatus(refusalCode_));
        AniIcon->SetActive(false);
        break;
    case TRunEnd::CheckedOnly:
        AniIcon->SetActive(false);
        if (installKind_ == TInstallKind::SelfUpdating) {
            StatusBar1->showMessage(QStringLiteral("Nur geprüft: kein Schlüssel für Updates"));
        } else if (!UpdateEngine->NewVersion().isEmpty()) {
            StatusBar1->showMessage(
                installKind_ == TInstallKind::DebianPackage
                    ? QString::fromUtf8("Version %1 verfügbar: Update über die Paketverwaltung")
                          .arg(ShortVersion(UpdateEngine->NewVersion()))
                    : QString::fromUtf8("Version %1 verfügbar")
                          .arg(ShortVersion(UpdateEngine->NewVersion())));
            SystemMessageBox(NewerReleaseText(installKind_, UpdateEngine->NewVersion(),
                                              UpdateEngine->InstalledVersion,
                                              UpdateEngine->PublicKey.has_value(), ProgramDirectory,
                                              PackageSourceUrl(UpdateEngine->URL)),
                             QStringLiteral("Information"));
        }
        break;
    default:
        break;
    }
    SetReady();
}

void TfrmUpdate::UpdateEngineFileProgress(TUpdateEngine*, const QString&, int pos, int size) {
    // Without an announced length the bar stays empty (a range of 0..0 would show a busy bar).
    ProgressBarUpdate->setRange(0, qMax(1, size));
    ProgressBarUpdate->setValue(size > 0 ? qBound(0, pos, size) : 0);
}

void TfrmUpdate::UpdateEngineStatus(TUpdateEngine*, const QString& statusStr, int statusCode, int errCode) {
    StatusBar1->showMessage(StatusText(statusStr, statusCode, errCode));
    if (statusCode == 6) {
        SystemMessageBox(
            QStringLiteral("Datei ZETTELWERK.INF auf Updateserver nicht gefunden -> WUPDATE.LOG\n"
                           "Internetzugang freigeschaltet?"),
            QStringLiteral("Fehler"), StatusText(statusStr, statusCode, errCode));
        BitBtnUpdate->setText(kCaptionReady);
        BitBtnUpdate->setEnabled(true);
    } else if (statusCode == um::RefusedStatus && errCode == um::rfNoPublicKey) {
        // Checked without a key: a new version can be named, but not installed. (An installed
        // program says who installs it when the run has ended.)
        if (!UpdateEngine->NewVersion().isEmpty() && installKind_ == TInstallKind::SelfUpdating)
            SystemMessageBox(
                QStringLiteral("Version %1 von Zettelwerk ist verfügbar, kann aber nicht installiert "
                               "werden:\nZettelwerk hat keinen öffentlichen Schlüssel (%2), um das "
                               "Update zu prüfen. Es wurde nichts verändert.")
                    .arg(UpdateEngine->NewVersion(), kUpdateKeyFileName),
                QStringLiteral("Information"));
    } else if (statusCode == um::RefusedStatus && !RefusalText(errCode).isEmpty() && !refusalShown_) {
        refusalShown_ = true;
        refusalCode_ = errCode;
        SystemMessageBox(RefusalText(errCode), QStringLiteral("Fehler"),
                         StatusText(statusStr, statusCode, errCode));
    } else if (statusCode == 4) {
        SystemMessageBox(QStringLiteral("Keine neue Version von Zettelwerk verfügbar\n"
                                        "Dies ist die aktuelle Version."),
                         QStringLiteral("Information"));
        BitBtnUpdate->setText(kCaptionReady);
        BitBtnUpdate->setEnabled(true);
        AniIcon->SetActive(false);
        close();
        RecordUpdateCheckDate(dm_);
    }
}

void TfrmUpdate::UpdateEngineBeforeFileDownload(TUpdateEngine*, int, const QString&, QString&) {
    TAniCursorFacility& cursors = AniCursors();
    if (!AniIcon->AnimationData.isEmpty()) {
        // The cursor file goes into the run's private directory (or one of its own), never under
        // a fixed name in the shared temporary directory.
        std::unique_ptr<QTemporaryDir> own;
        QString dir = UpdateEngine->RunDirectory();
        if (dir.isEmpty()) {
            own = std::make_unique<QTemporaryDir>();
            dir = own->isValid() ? own->path() + u'/' : QString();
        }
        const QString path = dir + "0.ani";
        QFile f(path);
        if (!dir.isEmpty() && f.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            f.write(AniIcon->AnimationData);
            f.close();
            cursors.LoadCursorFromFile(crDownload, path);
            QFile::remove(path);
        } else {
            cursors.DestroyCursor(crDownload);
        }
    } else {
        cursors.DestroyCursor(crDownload);
    }
    cursors.SetWindowCursor(this, crDownload);
    cursors.SetApplicationCursor(crDownload);
}

void TfrmUpdate::UpdateEngineFileDownloaded(TUpdateEngine*, const QString&) {
    RecordUpdateCheckDate(dm_);
    AniCursors().SetApplicationCursor(0);
}

void TfrmUpdate::FormClose() {
    TDbWaitCursor wait;
    StoreAutomaticUpdateFlag(dm_, CBAutomaticUpdateEnabled->isChecked());
}
