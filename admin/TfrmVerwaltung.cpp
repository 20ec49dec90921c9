#include "admin/TfrmVerwaltung.h"

#include "admin/BackupTexts.h"
#include "platform/Autostart.h"
#include "store/DatabaseBackup.h"
#include "store/TDataModuleNotizen.h"
#include "store/fb/FbService.h"
#include "ui/ConnectionStatusBar.h"
#include "ui/DbWaitCursor.h"
#include "ui/ErrorDisplay.h"
#include "ui/ImageListMain.h"
#include "ui/MessageDialogs.h"
#include "ui/RichTextFont.h"
#include "ui/Shortcuts.h"
#include "ui/TextFit.h"
#include "ui/WindowLook.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QToolBar>
#include <stdexcept>

namespace {

// Client positions below the 43-pixel toolbar strip.
constexpr int kStrip = 43;

const QString kHintBackup = QStringLiteral("Backup der Notizendatenbank");
const QString kHintRestore = QStringLiteral("Restore der Notizdatenbank");
const QString kHintUpdate =
    QStringLiteral("Prüft auf Vorhandensein eines Updates (bei bestehender Internetverbindung)");

QIcon Picture24(int imageIndex) {
    return QIcon(
        ImageListMain::Pixmap(imageIndex).scaled(24, 24, Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption, const QString& hint,
                        int imageIndex, int top) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setGeometry(24, top - kStrip, 140, 30);
    b->setToolTip(hint);
    b->setIcon(Picture24(imageIndex));
    b->setIconSize(QSize(24, 24));
    return b;
}

QLabel* MakeExplanation(QWidget* parent, const char* name, const QString& html, const QRect& r) {
    auto* l = new QLabel(parent);
    l->setObjectName(QLatin1String(name));
    l->setTextFormat(Qt::RichText);
    l->setWordWrap(false);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QFont f(ArialFamily());
    f.setPointSize(8);
    l->setFont(f);
    l->setText(html);
    l->setGeometry(r.translated(0, -kStrip));
    return l;
}

// Lets painting and timers run while a server job runs; the user's input waits.
void PumpWithoutInput() {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

// Processes pending messages when the sequence ends, also on an error.
struct TPumpOnExit {
    ~TPumpOnExit() { QCoreApplication::processEvents(); }
};

} // namespace

TfrmVerwaltung::TfrmVerwaltung(TDataModuleNotizen& dataModule, std::function<void()> showUpdateWindow,
                               QWidget* parent)
    : QMainWindow(parent), dm_(dataModule), showUpdateWindow_(std::move(showUpdateWindow)) {
    // The first users of the client library: a missing library stops here.
    backupService_ = std::make_unique<fb::Service>();
    restoreService_ = std::make_unique<fb::Service>();

    setObjectName(QStringLiteral("frmVerwaltung"));
    setWindowTitle(QStringLiteral("Verwaltung"));
    setProperty("helpContext", kHelpContext);
    ApplyWindowLook(this);
    resize(665, 309);
    move(243, 368);

    ToolBarVerwaltung = MakeToolBar(this, QStringLiteral("Verwaltung"));
    ToolBarVerwaltung->setObjectName(QStringLiteral("ToolBarVerwaltung"));
    addToolBar(Qt::TopToolBarArea, ToolBarVerwaltung);
    ToolBtnBackup = ToolBarVerwaltung->addAction(ImageListMain::Icon(imgBackup), QString());
    ToolBtnBackup->setObjectName(QStringLiteral("ToolBtnBackup"));
    ToolBtnBackup->setToolTip(kHintBackup);
    ToolBtnRestore = ToolBarVerwaltung->addAction(ImageListMain::Icon(imgRestore), QString());
    ToolBtnRestore->setObjectName(QStringLiteral("ToolBtnRestore"));
    ToolBtnRestore->setToolTip(kHintRestore);
    ToolBtnUpdate = ToolBarVerwaltung->addAction(ImageListMain::Icon(imgUpdate), QString());
    ToolBtnUpdate->setObjectName(QStringLiteral("ToolBtnUpdate"));
    ToolBtnUpdate->setToolTip(kHintUpdate);

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("ClientArea"));
    setCentralWidget(client);

    BtnBackup = MakeButton(client, "BtnBackup", QStringLiteral("    Backup"), kHintBackup, imgBackup, 64);
    BtnRestore =
        MakeButton(client, "BtnRestore", QStringLiteral("    Restore"), kHintRestore, imgRestore, 112);
    BtnUpdate = MakeButton(client, "BtnUpdate", QStringLiteral("    Update"), kHintUpdate, imgUpdate, 160);

    // The directory the backups lie in: for an installed program not the program's own.
    const QString backupDirectory = DirectoryForDisplay(dm_.ProgramDirectory(), QDir::homePath());
    LabelBackup =
        MakeExplanation(client, "LabelBackup", BackupLabelText(backupDirectory), QRect(176, 64, 441, 33));
    LabelRestore =
        MakeExplanation(client, "LabelRestore", RestoreLabelText(backupDirectory), QRect(176, 112, 393, 41));
    LabelUpdate =
        MakeExplanation(client, "LabelUpdate",
                        QStringLiteral("Prüft <b>bei vorhandener Internetverbindung</b>, ob ein "
                                       "<b>Programmupdate</b> vorliegt<br>und installiert das Update "
                                       "nach Bestätigung."),
                        QRect(176, 160, 393, 33));

    GroupBoxAutostart = new QGroupBox(QStringLiteral("Autostart"), client);
    GroupBoxAutostart->setObjectName(QStringLiteral("GroupBoxAutostart"));
    GroupBoxAutostart->setGeometry(24, 208 - kStrip, 185, 65);
    RadioButtonAutostart = new QRadioButton(QStringLiteral("automatisch starten"), GroupBoxAutostart);
    RadioButtonAutostart->setObjectName(QStringLiteral("RadioButtonAutostart"));
    RadioButtonAutostart->setGeometry(16, 16, 129, 17);
    RadioButtonAutostart->setToolTip(
        QStringLiteral("Zettelwerk startet zukünftig automatisch bei jeder Anmeldung"));
    RadioButtonAutostart->setChecked(true);
    RadioButtonKeinAutostart =
        new QRadioButton(QStringLiteral("nicht automatisch starten"), GroupBoxAutostart);
    RadioButtonKeinAutostart->setObjectName(QStringLiteral("RadioButtonKeinAutostart"));
    RadioButtonKeinAutostart->setGeometry(16, 40, 153, 17);
    RadioButtonKeinAutostart->setToolTip(
        QStringLiteral("Zettelwerk startet nicht mehr automatisch bei jeder Anmeldung"));

    SetTextsToFit(GroupBoxAutostart, {QStringLiteral("Autostart derzeit AKTIV"),
                                      QStringLiteral("Autostart derzeit NICHT AKTIV")});

    setTabOrder(BtnBackup, BtnUpdate);
    setTabOrder(BtnUpdate, BtnRestore);
    setTabOrder(BtnRestore, RadioButtonAutostart);
    setTabOrder(RadioButtonAutostart, RadioButtonKeinAutostart);

    StatusBarVerwaltung = new TConnectionStatusBar(this);
    StatusBarVerwaltung->setObjectName(QStringLiteral("StatusBarVerwaltung"));
    setStatusBar(StatusBarVerwaltung);
    FitText(this);

    connect(BtnBackup, &QPushButton::clicked, this, Guarded([this] { BtnBackupClick(); }));
    connect(BtnRestore, &QPushButton::clicked, this, Guarded([this] { BtnRestoreClick(); }));
    connect(BtnUpdate, &QPushButton::clicked, this, Guarded([this] { BtnUpdateClick(); }));
    connect(ToolBtnBackup, &QAction::triggered, this, Guarded([this] { BtnBackupClick(); }));
    connect(ToolBtnRestore, &QAction::triggered, this, Guarded([this] { BtnRestoreClick(); }));
    connect(ToolBtnUpdate, &QAction::triggered, this, Guarded([this] { BtnUpdateClick(); }));
    // Selecting a button runs its operation only when the selection changes.
    connect(RadioButtonAutostart, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            ChoiceSelected(&TfrmVerwaltung::RadioButtonAutostartClick);
    });
    connect(RadioButtonKeinAutostart, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            ChoiceSelected(&TfrmVerwaltung::RadioButtonKeinAutostartClick);
    });
    AddWindowShortcut(this, QKeySequence(Qt::Key_Escape), [this] { close(); });
}

TfrmVerwaltung::~TfrmVerwaltung() = default;

void TfrmVerwaltung::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!event->spontaneous())
        RunGuarded([this] { FormShow(); });
}

void TfrmVerwaltung::FormShow() {
    RefreshAutostartState();
}

// --- backup and restore ------------------------------------------------------------------

void TfrmVerwaltung::BtnBackupClick() {
    if (MessageDlg(BackupQuestion(BackupFileFacts(BackupFile())), TMsgDlgType::Confirmation,
                   mbYes | mbNo | mbHelp, kHelpContext) == TModalResult::Yes)
        BackupDatabase();
}

void TfrmVerwaltung::BtnRestoreClick() {
    if (MessageDlg(RestoreQuestion(BackupFileFacts(BackupFile())), TMsgDlgType::Confirmation,
                   mbYes | mbNo | mbHelp, kHelpContext) == TModalResult::Yes)
        RestoreDatabase();
}

QString TfrmVerwaltung::BackupFile() const {
    return dm_.ProgramDirectory() + kBackupFileName;
}

void TfrmVerwaltung::BtnUpdateClick() {
    if (showUpdateWindow_)
        showUpdateWindow_();
}

void TfrmVerwaltung::BackupDatabase() {
    const QString backup = BackupFile();
    RunServiceJob(QStringLiteral("Backup"), BackupDoneText(backup), [this, &backup] {
        // A server's backup comes through its services manager into the user's directory; a
        // configured local file is the one backed up.
        if (dm_.IsServer())
            BackupServerDatabase(*backupService_, dm_.Database.Credentials(), dm_.DatabaseFileName(), backup,
                                 PumpWithoutInput);
        else
            BackupDatabaseFile(*backupService_, dm_.Database.Credentials(), dm_.DatabaseFileName(), backup,
                               PumpWithoutInput);
    });
}

void TfrmVerwaltung::RestoreDatabase() {
    const QString backup = BackupFile();
    RunServiceJob(QStringLiteral("Restore"), RestoreDoneText(backup), [this, &backup] {
        // Whatever opened the connection while the job ran is closed before the file is replaced.
        if (dm_.IsServer())
            RestoreServerDatabase(*restoreService_, dm_.Database.Credentials(), backup,
                                  dm_.DatabaseFileName(), PumpWithoutInput, [this] { dm_.Database.Close(); });
        else
            RestoreDatabaseFile(*restoreService_, dm_.Database.Credentials(), backup, dm_.DatabaseFileName(),
                                PumpWithoutInput, [this] { dm_.Database.Close(); });
    });
}

// The connection is closed around the job and opened again once it has ended; a failure leaves
// it closed, and the status says that the job failed.
void TfrmVerwaltung::RunServiceJob(const QString& kind, const QString& doneMessage,
                                   const std::function<void()>& job) {
    StatusBarVerwaltung->SetText("Datenbankverbindung wurde geschlossen. " + kind + " läuft.");
    QCoreApplication::processEvents();
    TDbWaitCursor wait;
    TPumpOnExit pump;
    try {
        dm_.Database.Close();
        StatusBarVerwaltung->SetImage(imgBackup, StatusBarVerwaltung->ImageHint());
        job();
    } catch (...) {
        // The job is over: the status must not go on saying that it runs.
        StatusBarVerwaltung->SetText("Datenbankverbindung ist geschlossen. " + kind + " fehlgeschlagen.");
        throw;
    }
    // The job has ended (it is waited for), so the connection opens before the message says so.
    dm_.Database.Open();
    StatusBarVerwaltung->SetText("Datenbankverbindung wurde wieder geöffnet. " + kind + " beendet.");
    StatusBarVerwaltung->SetImage(imgConnected, StatusBarVerwaltung->ImageHint());
    SystemMessageBox(doneMessage, QStringLiteral("Information"));
}

// --- autostart ---------------------------------------------------------------------------

void TfrmVerwaltung::ChoiceSelected(void (TfrmVerwaltung::*operation)()) {
    try {
        (this->*operation)();
    } catch (const std::exception& e) {
        if (refreshDepth_ > 0)
            choiceError_ = std::current_exception();
        else
            ShowException(e);
    }
}

void TfrmVerwaltung::RefreshAutostartState() {
    const bool active = Autostart().Exists(kAutostartName);
    ++refreshDepth_;
    if (active) {
        GroupBoxAutostart->setTitle(QStringLiteral("Autostart derzeit AKTIV"));
        RadioButtonAutostart->setChecked(true);
    } else {
        GroupBoxAutostart->setTitle(QStringLiteral("Autostart derzeit NICHT AKTIV"));
        RadioButtonKeinAutostart->setChecked(true);
    }
    --refreshDepth_;
    if (refreshDepth_ == 0 && choiceError_)
        std::rethrow_exception(std::exchange(choiceError_, nullptr));
}

void TfrmVerwaltung::RadioButtonAutostartClick() {
    if (!Autostart().Write(kAutostartName, QCoreApplication::applicationFilePath()))
        throw std::runtime_error(
            QStringLiteral("Failed to set data for '%1'").arg(kAutostartName).toStdString());
    RefreshAutostartState();
}

void TfrmVerwaltung::RadioButtonKeinAutostartClick() {
    Autostart().Remove(kAutostartName);
    RefreshAutostartState();
}
