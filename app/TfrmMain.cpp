#include "app/TfrmMain.h"

#include "admin/TfrmVerwaltung.h"
#include "app/CommandLineOptions.h"
#include "app/ProgramWindows.h"
#include "app/TFlatMenuStyle.h"
#include "app/THelpHook.h"
#include "app/TfrmAutostartDialog.h"
#include "info/TExeInfo.h"
#include "info/TfrmAboutBox.h"
#include "notes/TfrmAnlegen.h"
#include "notes/TfrmSuchen.h"
#include "platform/TrayIcon.h"
#include "ui/ErrorDisplay.h"
#include "ui/ImageListMain.h"
#include "ui/MessageDialogs.h"
#include "ui/WindowLook.h"
#include "ui/WindowShow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMenu>
#include <QTimer>
#include <QWindow>
#include <utility>

TfrmMain::TfrmMain(TProgramWindows& windows, QWidget* parent) : QWidget(parent), windows_(windows) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Zettelwerk"));
    setProperty("helpContext", kHelpContext);

    // Version texts first: the tray icon's start-up handler needs them.
    ExeInfo = new TExeInfo(this);

    menuStyle_ = new TFlatMenuStyle;
    menuStyle_->setParent(this);
    PopupMenuTray = new QMenu(this);
    PopupMenuTray->setObjectName(QStringLiteral("PopupMenuTray"));
    PopupMenuTray->setStyle(menuStyle_);
    // The font is chosen when the menu first opens: looking for the face reads the whole font
    // database, which a program idle in the tray does not need.
    connect(PopupMenuTray, &QMenu::aboutToShow, this, [this] {
        if (!menuFontSet_) {
            PopupMenuTray->setFont(MenuFont());
            menuFontSet_ = true;
        }
    });
    QPalette pal = PopupMenuTray->palette();
    pal.setColor(QPalette::Base, QColor(Qt::white));
    pal.setColor(QPalette::Button, QColor(0xEC, 0xE9, 0xD8));
    pal.setColor(QPalette::Text, QColor(Qt::black));
    PopupMenuTray->setPalette(pal);

    auto item = [this](const char* name, const QString& caption, int image, void (TfrmMain::*handler)()) {
        QAction* a = PopupMenuTray->addAction(ImageListMain::Icon(image), caption);
        a->setObjectName(QLatin1String(name));
        a->setIconVisibleInMenu(true);
        // Making a window on its first showing may fail: shown where it arose.
        connect(a, &QAction::triggered, this, Guarded([this, handler] { (this->*handler)(); }));
        return a;
    };
    auto separator = [this](const char* name) {
        QAction* a = PopupMenuTray->addSeparator();
        a->setObjectName(QLatin1String(name));
        return a;
    };
    NotizAnlegen =
        item("NotizAnlegen", QStringLiteral("Notiz anlegen"), imgNewNote, &TfrmMain::NotizAnlegenClick);
    Notizsuchen =
        item("Notizsuchen", QStringLiteral("Notiz suchen"), imgSearchMenu, &TfrmMain::NotizsuchenClick);
    Verwaltung = item("Verwaltung", QStringLiteral("Verwaltung"), imgAdmin, &TfrmMain::VerwaltungClick);
    N2 = separator("N2");
    HilfezuZettelwerk1 = item("HilfezuZettelwerk1", QStringLiteral("Hilfe zu Zettelwerk"), imgHelp,
                              &TfrmMain::HilfezuZettelwerk1Click);
    Info = item("Info", QString::fromUtf8("Über Zettelwerk"), imgAbout, &TfrmMain::InfoClick);
    N1 = separator("N1");
    Beenden = item("Beenden", QStringLiteral("Beenden"), imgQuit, &TfrmMain::BeendenClick);
    PopupMenuTray->setDefaultAction(NotizAnlegen);

    TrayIcon = new TTrayIcon(this);
    TrayIcon->SetIcon(ImageListMain::TrayIcon());
    TrayIcon->SetPopupMenu(PopupMenuTray);
    TrayIcon->OnStartup = [this](QObject* sender, bool& showMainForm) {
        TrayIconStartup(sender, showMainForm);
    };

    TimerAutostart = new QTimer(this);
    TimerAutostart->setObjectName(QStringLiteral("TimerAutostart"));
    TimerAutostart->setInterval(kAutostartDelayMs);
    connect(TimerAutostart, &QTimer::timeout, this, &TfrmMain::TimerAutostartTimer);

    // The window is loaded: the icon comes up (the main window stays hidden), the timer counts.
    TrayIcon->Startup();
    TimerAutostart->start();

    FormCreate();
}

TfrmMain::~TfrmMain() {
    FormDestroy();
    delete TrayIcon; // removes the icon from the tray
    TrayIcon = nullptr;
}

void TfrmMain::TrayIconStartup(QObject*, bool& showMainForm) {
    TrayIcon->SetHint(QStringLiteral("Zettelwerk - Das Notizwerkzeug (Ver. ") + ExeInfo->ProductVersion() +
                      QStringLiteral(")"));
    showMainForm = false;
}

void TfrmMain::FormCreate() {
    SetHelpRequestHandler([](int helpContext) { ShowHelpContext(helpContext); });
    HelpStartupChecks(this);
}

void TfrmMain::FormDestroy() {
    HelpCloseAll();
}

void TfrmMain::StartupComplete() {
    startupComplete_ = true;
    const QStringList pending = std::exchange(pendingWindows_, {});
    OpenWindows(pending);
}

void TfrmMain::OpenWindows(const QStringList& words) {
    if (!startupComplete_) {
        pendingWindows_ += words;
        return;
    }
    for (const QString& word : words) {
        QString term;
        if (SearchTermFromRequestWord(word, &term)) {
            // The list as the tray menu opens it, then the search in it.
            Notizsuchen->trigger();
            if (TfrmSuchen* list = windows_.suchen.Existing(); list && list->isVisible())
                RunGuarded([list, &term] { list->SearchFor(term); });
            continue;
        }
        TProgramWindow window;
        if (!WindowFromRequestWord(word, &window))
            continue;
        (window == TProgramWindow::NewNote ? NotizAnlegen : Notizsuchen)->trigger();
    }
    // A question waiting for its answer (the first-start one) blocks the window just opened;
    // it stays in front, so the user sees what to answer first.
    if (QWidget* modal = QApplication::activeModalWidget())
        ShowAndBringToFront(modal);
}

// A window opened while the question waits would be blocked by it anyway. Where the program
// cannot stack its windows itself (Wayland), it would also take the keyboard focus from the
// question, squeeze it aside in a tiling layout or cover it.
void TfrmMain::Present(const std::function<QWidget*()>& window) {
    TfrmAutostartDialog* question = windows_.autostart.Existing();
    if (question && question->isVisible()) {
        afterQuestion_.push_back(window);
        ShowAndBringToFront(question);
        return;
    }
    ShowAndBringToFront(window());
}

void TfrmMain::NotizAnlegenClick() {
    Present([this] { return windows_.anlegen.Get(); });
}

void TfrmMain::NotizsuchenClick() {
    Present([this] { return windows_.suchen.Get(); });
}

void TfrmMain::VerwaltungClick() {
    Present([this] { return windows_.verwaltung.Get(); });
}

void TfrmMain::HilfezuZettelwerk1Click() {
    ShowHelpContext(kHelpContext);
}

void TfrmMain::InfoClick() {
    Present([this] { return windows_.about.Get(); });
}

void TfrmMain::BeendenClick() {
    close();
}

void TfrmMain::TimerAutostartTimer() {
    // A start-up message box runs its own event loop; the check waits until start-up is over.
    if (!startupComplete_)
        return;
    TimerAutostart->stop();
    if (windows_.firstStartAnswered && windows_.firstStartAnswered())
        return; // the question is not even made
    TfrmAutostartDialog* question = windows_.autostart.Get();
    if (!question)
        return;
    // Shown over a window of the program, the question belongs to it: a Wayland compositor
    // then keeps it above that window (floating, in a tiling one) instead of beside or below.
    if (QWidget* over = QApplication::activeWindow(); over && over != question) {
        question->winId();
        question->windowHandle()->setTransientParent(over->windowHandle());
    }
    question->CheckFirstStart();
    // The question is closed: what was asked for meanwhile opens now, in the order asked.
    for (const auto& window : std::exchange(afterQuestion_, {}))
        RunGuarded([&window] { ShowAndBringToFront(window()); });
}

void TfrmMain::closeEvent(QCloseEvent* event) {
    event->accept();
    emit Closed();
}
