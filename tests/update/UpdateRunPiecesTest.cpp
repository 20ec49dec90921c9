// The pieces of the update run that need no server: message table, log lines, engine defaults,
// built-in text dialogs, the widget host and the animated cursors of the Linux facility.
#include "platform/AniCursor.h"
#include "platform/OnlineCheck.h"
#include "update/DownloadCursorData.h"
#include "update/TUpdateEngine.h"
#include "update/UpdateLog.h"
#include "update/UpdateMessages.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QTemporaryDir>
#include <QWidget>
#include <gtest/gtest.h>

TEST(UpdateMessages, TextsAndParameters) {
    EXPECT_EQ(UpdateMessageText(926), "Update control file found");
    EXPECT_EQ(UpdateMessageText(910), "Download update files ?");
    EXPECT_EQ(UpdateMessageText(909), "Download update file : ");
    EXPECT_EQ(UpdateMessageText(924), "Cannot connect to FTP host : %s");
    EXPECT_EQ(UpdateMessageText(961), "Restart after threaded update");
    for (int n : {18, 963, 964, 965, 0, 908, 976})
        EXPECT_TRUE(UpdateMessageText(n).isEmpty()) << n;
    EXPECT_EQ(FormatUpdateMessage(929, "2.0.0.0"), "New version found : 2.0.0.0");
    EXPECT_EQ(FormatUpdateMessage(926, "ignored"), "Update control file found");
    EXPECT_EQ(FormatUpdateMessage(963, "1.0.0.0"), "");
    EXPECT_EQ(FormatUpdateMessage(915, "a%sb"), "Download : a%sb")
        << "the parameter is put in once, as it is";
    // Every number from 909 to 962 has a text except 18-style ones.
    for (int n = 909; n <= 962; ++n)
        EXPECT_FALSE(UpdateMessageText(n).isEmpty()) << n;
    // The reports of signed updates (966-975) have texts of their own, each different.
    QSet<QString> texts;
    for (int n = 966; n <= 975; ++n)
        texts.insert(UpdateMessageText(n));
    EXPECT_EQ(texts.size(), 10);
    EXPECT_FALSE(texts.contains(QString()));
}

TEST(UpdateLog, StatusAndUpdaterLines) {
    const QDateTime when(QDate(2005, 3, 7), QTime(9, 5, 2));
    EXPECT_EQ(FormatStatusLogLine(when, 926, "Update control file found", 3, 0, '/', ':'),
              "07/03/2005 09:05:02 : [926] Update control file found (Status:3) (Error:0)");
    EXPECT_EQ(FormatStatusLogLine(when, 963, "", 0, 0, '.', ':'),
              "07.03.2005 09:05:02 : [963]  (Status:0) (Error:0)");
    EXPECT_EQ(FormatStatusLogLine(when, 916, "Http status : 404", 6, 404, '/', ':'),
              "07/03/2005 09:05:02 : [916] Http status : 404 (Status:6) (Error:404)");
    EXPECT_EQ(FormatUpdaterLogLine(when, "upd restart x", '-', '.'), "07-03-2005 09.05.02 : upd restart x");
}

TEST(UpdateLog, AppendsAndFailsLoudly) {
    QTemporaryDir dir;
    const QString file = dir.path() + "/WUPDATE.LOG";
    AppendLogLine(file, "one");
    AppendLogLine(file, QString::fromUtf8("zwei ü"));
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromLocal8Bit(f.readAll()), QString::fromUtf8("one\nzwei ü\n"));
    EXPECT_THROW(AppendLogLine(dir.path() + "/no/such/dir/WUPDATE.LOG", "x"), EInOutError);
}

TEST(UpdateEngineDefaults, ConfigurationAtCreation) {
    TUpdateEngine e;
    EXPECT_EQ(e.UpdateType, ftpUpdate);
    EXPECT_EQ(e.Port, 21);
    EXPECT_EQ(e.DateFormat, "dd/mm/yyyy");
    EXPECT_EQ(e.DateSeparator, '/');
    EXPECT_EQ(e.TimeFormat, "hh:nn");
    EXPECT_EQ(e.TimeSeparator, ':');
    EXPECT_EQ(e.Signature, "ZettelwerkUpdate");
    EXPECT_EQ(e.TempDirectory, ".");
    EXPECT_EQ(e.Agent, "TUpdateEngine");
    EXPECT_EQ(e.Authenticate, waNever);
    EXPECT_EQ(e.LogFileName, "WUPDATE.LOG");
    EXPECT_FALSE(e.Logging);
    EXPECT_EQ(e.UpdateConnect, wucNoConnect);
    EXPECT_EQ(e.UpdateUpdate, wuuPromptOnce);
    EXPECT_EQ(TUpdateEngine::Version(), "1.0.0.0");

    auto* utility = new TUpdateUtility;
    e.Utility = utility;
    delete utility;
    EXPECT_TRUE(e.Utility.isNull()) << "a removed partner is forgotten";
}

TEST(UpdateTextDialogs, ReleaseNotesLayout) {
    TTextDialogRequest r;
    r.Caption = "Neu";
    r.Lines = {"a", "b"};
    r.OkButton = "Ok";
    r.CancelButton = "Cancel";
    auto dlg = BuildTextDialog(r);
    EXPECT_EQ(dlg->windowTitle(), "Neu");
    EXPECT_EQ(dlg->size(), QSize(400, 400));
    auto* memo = dlg->findChild<QPlainTextEdit*>("Memo");
    ASSERT_TRUE(memo);
    EXPECT_EQ(memo->geometry(), QRect(10, 10, 380, 340));
    EXPECT_TRUE(memo->isReadOnly());
    EXPECT_EQ(memo->toPlainText(), "a\nb");
    auto* ok = dlg->findChild<QPushButton*>("BtnOk");
    auto* cancel = dlg->findChild<QPushButton*>("BtnCancel");
    ASSERT_TRUE(ok && cancel);
    EXPECT_EQ(cancel->geometry().right(), memo->geometry().right());
    EXPECT_EQ(ok->x(), memo->geometry().right() + 1 - 2 * 75 - 10);
    EXPECT_EQ(ok->y(), memo->geometry().bottom() + 1 + 10);
}

TEST(UpdateTextDialogs, LicenceOnlyAcceptedWithTheAcceptingChoice) {
    TTextDialogRequest r;
    r.Kind = TTextDialogKind::License;
    r.OkButton = "Ok";
    r.Accept = "I accept";
    r.NotAccept = "I do not accept";
    TWidgetUpdateHost host;

    SetTextDialogAnswerer([](QDialog& dlg, const TTextDialogRequest&) {
        auto* no = dlg.findChild<QRadioButton*>("RadioNotAccept");
        auto* yes = dlg.findChild<QRadioButton*>("RadioAccept");
        EXPECT_TRUE(no->isChecked()) << "the refusing choice is preselected";
        EXPECT_EQ(no->x(), 10 + yes->width() + 20);
        return true; // OK pressed without choosing
    });
    EXPECT_FALSE(host.ShowText(r));
    SetTextDialogAnswerer([](QDialog& dlg, const TTextDialogRequest&) {
        dlg.findChild<QRadioButton*>("RadioAccept")->setChecked(true);
        return false; // closed by the close box
    });
    EXPECT_TRUE(host.ShowText(r));
    r.Kind = TTextDialogKind::ReleaseNotes;
    SetTextDialogAnswerer([](QDialog&, const TTextDialogRequest&) { return false; });
    EXPECT_FALSE(host.ShowText(r));
    SetTextDialogAnswerer({});
}

TEST(UpdateWidgetHost, MessageLinesBecomeLineBreaks) {
    std::vector<TDialogRequest> seen;
    SetDialogAnswerer([&](const TDialogRequest& r) {
        seen.push_back(r);
        return TModalResult::No;
    });
    TWidgetUpdateHost host;
    EXPECT_EQ(host.Ask("one\rtwo", TMsgDlgType::Information, mbYes | mbNo), TModalResult::No);
    SetDialogAnswerer({});
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, "one\ntwo");
    EXPECT_EQ(seen[0].type, TMsgDlgType::Information);
}

TEST(LinuxAniCursors, NumberedCursorOnWindowAndApplication) {
    QTemporaryDir dir;
    const QString path = dir.path() + "/0.ani";
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(DownloadCursorData());
    }
    TAniCursorFacility& cursors = SystemAniCursors();
    QWidget w;
    ASSERT_TRUE(cursors.LoadCursorFromFile(4711, path));
    cursors.SetWindowCursor(&w, 4711);
    EXPECT_EQ(w.cursor().shape(), Qt::BitmapCursor);
    EXPECT_EQ(w.cursor().pixmap().size(), QSize(32, 32));
    cursors.SetApplicationCursor(4711);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::BitmapCursor);
    cursors.SetApplicationCursor(0);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // A broken file registers nothing, and the number shows the default pointer.
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write("RIFF");
    f.close();
    EXPECT_FALSE(cursors.LoadCursorFromFile(4711, path));
    EXPECT_EQ(w.cursor().shape(), Qt::ArrowCursor);
    cursors.SetWindowCursor(&w, 0);
}

TEST(OnlineCheckRules, DefaultRouteThroughAnInterfaceThatIsUp) {
    const QByteArray v4 =
        "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
        "eth0\t00000000\t010200C0\t0003\t0\t0\t0\t00000000\t0\t0\t0\n"
        "eth0\t000200C0\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0\n";
    const QByteArray v6 = "00000000000000000000000000000000 00 00000000000000000000000000000000 00 "
                          "fd000000000000000000000000000001 00000400 00000002 00000000 00000003     wlan0\n";
    EXPECT_TRUE(HasDefaultRoute(v4, {}, {"eth0"}));
    EXPECT_FALSE(HasDefaultRoute(v4, {}, {"wlan0"})) << "the interface of the route is down";
    EXPECT_TRUE(HasDefaultRoute({}, v6, {"wlan0"}));
    EXPECT_FALSE(HasDefaultRoute(
        v4.left(v4.indexOf('\n') + 1) + "eth0\t000200C0\t00000000\t0001\t0\t0\t0\t00FFFFFF\n", {}, {"eth0"}))
        << "a network route alone is no way out";
    EXPECT_FALSE(HasDefaultRoute({}, {}, {"eth0"}));
    SystemOnlineCheck().IsConnected(); // reads the machine's tables without failing
}
