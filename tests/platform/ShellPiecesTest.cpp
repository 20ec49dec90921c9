#include "platform/ShellOpen.h"
#include "platform/TrayIcon.h"
#include "platform/fake/FakeShellOpen.h"
#include "platform/fake/FakeTrayIcon.h"

#include <QAction>
#include <QDesktopServices>
#include <QFile>
#include <QGuiApplication>
#include <QMenu>
#include <QPixmap>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>
#include <csignal>
#include <gtest/gtest.h>
#include <pthread.h>
#include <stdexcept>

TEST(TrayIcon, TooltipIsCutAfter127Characters) {
    UseFakeTrayIcons();
    TTrayIcon icon;
    auto* host = TFakeTrayIconHost::Last();
    ASSERT_TRUE(host);
    const QString exact(127, 'a');
    icon.SetHint(exact);
    EXPECT_EQ(host->toolTip, exact);
    icon.SetHint(exact + "bcd");
    EXPECT_EQ(host->toolTip, exact);
    EXPECT_EQ(icon.Hint(), exact + "bcd");
    icon.SetHint(QString::fromUtf8("Zettelwerk - Ümlaute"));
    EXPECT_EQ(host->toolTip, QString::fromUtf8("Zettelwerk - Ümlaute"));
    EXPECT_EQ(CutTrayTip(QString()), QString());
    SetTrayIconFactory({});
}

TEST(TrayIcon, StartupCallsHandlerBeforeShowingAndRemovesOnDestruction) {
    UseFakeTrayIcons();
    auto icon = std::make_unique<TTrayIcon>();
    auto* host = TFakeTrayIconHost::Last();
    bool shownDuringHandler = true;
    QObject* sender = nullptr;
    icon->OnStartup = [&](QObject* s, bool& showMainForm) {
        sender = s;
        shownDuringHandler = host->shown;
        icon->SetHint("Tipp");
        showMainForm = false;
    };
    EXPECT_FALSE(icon->Startup());
    EXPECT_EQ(sender, icon.get());
    EXPECT_FALSE(shownDuringHandler);
    EXPECT_TRUE(host->shown);
    EXPECT_EQ(host->toolTip, "Tipp");
    icon->Show(); // e.g. after the tray host came back
    EXPECT_EQ(host->showCount, 2);

    TTrayIcon plain;
    EXPECT_TRUE(plain.Startup()); // no handler: the main form would show
    icon.reset();
    SetTrayIconFactory({});
}

TEST(TrayIcon, DoubleClickRunsTheDefaultItemOnly) {
    UseFakeTrayIcons();
    TTrayIcon icon;
    auto* host = TFakeTrayIconHost::Last();
    QMenu menu;
    QAction* first = menu.addAction("Erster");
    QAction* def = menu.addAction("Standard");
    int firstRuns = 0, defRuns = 0;
    QObject::connect(first, &QAction::triggered, [&] { ++firstRuns; });
    QObject::connect(def, &QAction::triggered, [&] { ++defRuns; });

    host->SimulateDoubleClick(); // no menu yet: nothing
    icon.SetPopupMenu(&menu);
    EXPECT_EQ(host->menu, &menu);
    host->SimulateDoubleClick(); // no default item: nothing
    EXPECT_EQ(firstRuns + defRuns, 0);
    menu.setDefaultAction(def);
    host->SimulateDoubleClick();
    EXPECT_EQ(defRuns, 1);
    EXPECT_EQ(firstRuns, 0);
    def->setEnabled(false);
    host->SimulateDoubleClick();
    EXPECT_EQ(defRuns, 1);
    SetTrayIconFactory({});
}

TEST(ShellOpen, MailAddressesGetTheMailtoScheme) {
    EXPECT_EQ(MailToTarget("info@example.org"), "mailto:info@example.org");
    EXPECT_EQ(MailToTarget(" MAILTO:a@b.c "), "MAILTO:a@b.c");
    TFakeShellOpen fake;
    EXPECT_TRUE(ShellOpen().Open("http://127.0.0.1/"));
    EXPECT_EQ(fake.opened, QStringList{"http://127.0.0.1/"});
    // Links opened anywhere through QDesktopServices take the same road.
    RouteDesktopUrlsThroughShellOpen();
    QDesktopServices::openUrl(QUrl("mailto:info@example.org"));
    QDesktopServices::openUrl(QUrl("https://127.0.0.1/update"));
    EXPECT_EQ(fake.opened,
              (QStringList{"http://127.0.0.1/", "mailto:info@example.org", "https://127.0.0.1/update"}));
    for (const char* scheme : {"http", "https", "ftp", "mailto"})
        QDesktopServices::unsetUrlHandler(scheme);
}

TEST(ShellOpen, OpenerStartsWithoutTheBlockedSignals) {
    // A stand-in xdg-open that writes its argument and its blocked-signal mask.
    QTemporaryDir dir;
    const QString out = dir.filePath("out.txt");
    QFile script(dir.filePath("xdg-open"));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(
        QString("#!/bin/sh\n{ echo \"$1\"; grep SigBlk /proc/self/status; } > '%1.tmp'\nmv '%1.tmp' '%1'\n")
            .arg(out)
            .toUtf8());
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", dir.path().toUtf8() + ":" + oldPath);

    sigset_t set, old;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set, &old);
    EXPECT_TRUE(SystemShellOpen().Open("http://127.0.0.1/seite?a=1&b=2"));
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    qputenv("PATH", oldPath);

    for (int i = 0; i < 100 && !QFile::exists(out); ++i)
        QThread::msleep(20);
    QFile f(out);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(f.readAll()).split('\n');
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines[0], "http://127.0.0.1/seite?a=1&b=2");
    EXPECT_EQ(lines[1].simplified(), "SigBlk: 0000000000000000");
}
