#include "app/ProgramWindows.h"
#include "app/TfrmMain.h"
#include "info/TExeInfo.h"
#include "notes/TfrmAnlegen.h"
#include "platform/fake/FakeTrayIcon.h"
#include "store/TDataModuleNotizen.h"
#include "ui/ImageListMain.h"
#include "ui/MessageDialogs.h"
#include "ui/WindowLook.h"
#include "ui/WindowShow.h"

#include <QAction>
#include <QDir>
#include <QMenu>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        UseFakeTrayIcons();
        SetDialogAnswerer([this](const TDialogRequest& r) {
            dialogs << r;
            return TModalResult::OK;
        });
        form = std::make_unique<TfrmMain>(windows);
        host = TFakeTrayIconHost::Last();
    }
    void TearDown() override {
        form.reset();
        SetDialogAnswerer({});
        SetTrayIconFactory({});
    }

    TProgramWindows windows;
    std::unique_ptr<TfrmMain> form;
    TFakeTrayIconHost* host = nullptr;
    QList<TDialogRequest> dialogs;
};

// Counts how often a window really turns visible.
class TProbeWindow : public QWidget {
public:
    int opened = 0;

protected:
    void showEvent(QShowEvent*) override { ++opened; }
};

} // namespace

TEST_F(MainWindow, HiddenWithCaptionHelpContextAndTrayIcon) {
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->windowTitle(), "Zettelwerk");
    EXPECT_EQ(form->property("helpContext").toInt(), 1001);
    ASSERT_TRUE(host);
    EXPECT_TRUE(host->shown);
    EXPECT_EQ(host->showCount, 1);
    EXPECT_EQ(host->toolTip, "Zettelwerk - Das Notizwerkzeug (Ver. 1.0)");
    EXPECT_EQ(host->menu, form->PopupMenuTray);
    EXPECT_FALSE(host->icon.isNull());
}

TEST_F(MainWindow, TrayMenuItemsCaptionsImagesAndDefault) {
    struct Item {
        const char* name;
        const char* caption;
        int image; // -1: separator
    };
    const Item expected[] = {
        {"NotizAnlegen", "Notiz anlegen", imgNewNote},
        {"Notizsuchen", "Notiz suchen", imgSearchMenu},
        {"Verwaltung", "Verwaltung", imgAdmin},
        {"N2", "", -1},
        {"HilfezuZettelwerk1", "Hilfe zu Zettelwerk", imgHelp},
        {"Info", "Über Zettelwerk", imgAbout},
        {"N1", "", -1},
        {"Beenden", "Beenden", imgQuit},
    };
    const QList<QAction*> actions = form->PopupMenuTray->actions();
    ASSERT_EQ(actions.size(), int(std::size(expected)));
    for (int i = 0; i < actions.size(); ++i) {
        const Item& e = expected[i];
        QAction* a = actions[i];
        EXPECT_EQ(a->objectName(), e.name);
        EXPECT_EQ(a->isSeparator(), e.image < 0) << e.name;
        if (e.image < 0)
            continue;
        EXPECT_EQ(a->text(), QString::fromUtf8(e.caption));
        EXPECT_EQ(a->icon().pixmap(16, 16).toImage(), ImageListMain::Pixmap(e.image).toImage()) << e.name;
    }
    EXPECT_EQ(form->PopupMenuTray->defaultAction(), form->NotizAnlegen);
    // Its font (Tahoma 8 pt or the nearest face) is chosen when it opens.
    emit form->PopupMenuTray->aboutToShow();
    EXPECT_EQ(form->PopupMenuTray->font().pointSize(), 8);
    EXPECT_EQ(form->PopupMenuTray->font(), MenuFont());
}

TEST_F(MainWindow, DoubleClickRunsNotizAnlegen) {
    int anlegen = 0, suchen = 0;
    QObject::connect(form->NotizAnlegen, &QAction::triggered, [&] { ++anlegen; });
    QObject::connect(form->Notizsuchen, &QAction::triggered, [&] { ++suchen; });
    host->SimulateDoubleClick();
    EXPECT_EQ(anlegen, 1);
    EXPECT_EQ(suchen, 0);
}

TEST_F(MainWindow, ShowingAVisibleWindowOnlyBringsItToTheFront) {
    TProbeWindow w;
    ShowAndBringToFront(&w);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(w.opened, 1);
    ShowAndBringToFront(&w);
    EXPECT_EQ(w.opened, 1); // opening actions do not run again
    w.showMinimized();
    ShowAndBringToFront(&w);
    EXPECT_FALSE(w.isMinimized());
    w.hide();
    ShowAndBringToFront(&w);
    EXPECT_EQ(w.opened, 3);
    ShowAndBringToFront(nullptr); // a window not made yet: nothing
}

TEST_F(MainWindow, BeendenClosesTheMainWindowOnce) {
    int closed = 0;
    QObject::connect(form.get(), &TfrmMain::Closed, [&] { ++closed; });
    form->Beenden->trigger();
    EXPECT_EQ(closed, 1);
    EXPECT_FALSE(form->isVisible());
}

TEST_F(MainWindow, FirstStartTimerWaitsForTheEndOfStartUp) {
    EXPECT_EQ(form->TimerAutostart->interval(), 1000);
    EXPECT_TRUE(form->TimerAutostart->isActive());
    // A start-up message box may let the timer fire early: the check must wait.
    form->TimerAutostartTimer();
    EXPECT_TRUE(form->TimerAutostart->isActive());
    EXPECT_FALSE(form->IsStartupComplete());
}

TEST_F(MainWindow, DestroyingRemovesTheTrayIcon) {
    ASSERT_TRUE(host->shown);
    form.reset();
    EXPECT_EQ(TFakeTrayIconHost::Last(), nullptr);
}

TEST_F(MainWindow, AMenuCommandWhoseWindowIsGoneDoesNothing) {
    TDataModuleNotizen dm(QDir::tempPath()); // never connected
    form->NotizAnlegen->trigger();           // not made yet
    windows.anlegen = std::make_unique<TfrmAnlegen>(dm);
    form->NotizAnlegen->trigger();
    EXPECT_TRUE(windows.anlegen->isVisible());
    windows.anlegen.reset();
    form->NotizAnlegen->trigger(); // the window went: nothing is reached through a stale pointer
    form->Notizsuchen->trigger();
    form->Info->trigger();
    EXPECT_TRUE(dialogs.isEmpty());
}

TEST_F(MainWindow, WindowsAskedForByTheCommandLineOpenOnceTheStartUpIsOver) {
    int anlegen = 0, suchen = 0;
    QObject::connect(form->NotizAnlegen, &QAction::triggered, [&] { ++anlegen; });
    QObject::connect(form->Notizsuchen, &QAction::triggered, [&] { ++suchen; });
    // During the start-up (a message box's own loop may deliver a request) nothing opens yet.
    form->OpenWindows({"suchen", "unbekannt", "neue-notiz"});
    EXPECT_EQ(anlegen + suchen, 0);
    form->StartupComplete();
    EXPECT_EQ(anlegen, 1);
    EXPECT_EQ(suchen, 1);
    form->OpenWindows({"neue-notiz"});
    EXPECT_EQ(anlegen, 2);
    form->StartupComplete(); // nothing is opened twice
    EXPECT_EQ(anlegen, 2);
    EXPECT_EQ(suchen, 1);
}
