#include "update/TfrmUpdate.h"

#include "platform/AniCursor.h"
#include "store/TSettings.h"
#include "ui/DbWaitCursor.h"
#include "ui/ErrorDisplay.h"
#include "ui/ImageListMain.h"
#include "ui/MessageDialogs.h"
#include "ui/TextFit.h"
#include "ui/WindowLook.h"
#include "update/DownloadCursorData.h"
#include "update/TUpdateEngine.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>

namespace {
constexpr int kClientWidth = 499;
constexpr int kClientHeight = 113;
constexpr const char* kUpdatePath = "/update/zettelwerk/zettelwerk.inf";
// Set by the build (ZW_UPDATE_SERVER); the default is a reserved name that reaches nobody.
constexpr const char* kUpdateServer = ZW_UPDATE_SERVER;
} // namespace

QString TfrmUpdate::DefaultUpdateUrl() {
    // ZETTELWERK_UPDATE_SERVER points a test installation at another server.
    const QString server = qEnvironmentVariableIsSet("ZETTELWERK_UPDATE_SERVER")
                               ? qEnvironmentVariable("ZETTELWERK_UPDATE_SERVER")
                               : QString(kUpdateServer);
    return server + kUpdatePath;
}

TfrmUpdate::TfrmUpdate(TDataModuleNotizen& dataModule, QWidget* parent) : QDialog(parent), dm_(dataModule) {
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
    UpdateEngine->RunUpdate();
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
        const QString path = QDir::tempPath() + "/0.ani";
        QFile f(path);
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            f.write(AniIcon->AnimationData);
            f.close();
            cursors.LoadCursorFromFile(crDownload, path);
        } else {
            cursors.DestroyCursor(crDownload);
        }
        QFile::remove(path);
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
