// The update run against a loopback HTTP server: reports, log lines, dialogs, downloads, hand-off.
#include "EngineTestSupport.h"
#include "platform/InternetSession.h"
#include "update/SzddEncoder.h"
#include "update/UpdateMessages.h"

#include <QFileInfo>
#include <QSettings>

namespace {

const QList<int> kStart = {963, 918, 921, 915, 926};

QString ThreeFiles(const updtest::THttpServer& s) {
    return QString("[update]\nunconditional=yes\n[files]\ncount=3\n"
                   "[file1]\nurl=%1\n[file2]\nurl=%2\n[file3]\nurl=%3\n")
        .arg(s.Url("/files/a.txt"), s.Url("/files/b.txt"), s.Url("/files/c.txt"));
}

} // namespace

TEST_F(EngineFixture, OfflineRunWritesTwoLinesAndShowsNothing) {
    platform.online.connected = false;
    engine.URL = "http://update.example/update/zettelwerk/zettelwerk.inf";
    engine.RunUpdate();

    const QStringList lines = LogLines();
    ASSERT_EQ(lines.size(), 2) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines[0].endsWith(" : [963]  (Status:0) (Error:0)")) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].endsWith(" : [918] Checking for Internet connection (Status:3) (Error:0)"));
    EXPECT_TRUE(host.asks.empty());
    ASSERT_EQ(statuses.size(), 2u);
    EXPECT_EQ(statuses[1].status, 3);
}

TEST_F(EngineFixture, LoopbackAddressCountsAsOnline) {
    platform.online.connected = false;
    ServeControlFile("[update]\n");
    engine.RunUpdate();
    EXPECT_EQ(LogNumbers(), (QList<int>{963, 918, 921, 915, 926, 949}));
    EXPECT_FALSE(QFileInfo::exists(TmpDir() + "/zettelwerk.inf")) << "control file copy is deleted";
}

TEST_F(EngineFixture, MissingControlFileReportsHttpStatusAndCloses) {
    engine.RunUpdate();
    EXPECT_EQ(LogNumbers(), (QList<int>{963, 918, 921, 915, 916, 925, 949}));
    const auto it = std::find_if(statuses.begin(), statuses.end(), [](auto& s) { return s.status == 6; });
    ASSERT_NE(it, statuses.end());
    EXPECT_EQ(it->text, "Http status : 404");
    EXPECT_EQ(it->error, 404);
    EXPECT_TRUE(LogLines().last().endsWith("[949] Closed Internet connection (Status:3) (Error:0)"));
}

TEST_F(EngineFixture, NoNewVersionReportsStatusFourAndCloses) {
    updtest::WriteFile(Work("local.bin"), "x");
    ServeControlFile("[update]\ndate=01/01/2000\nlocalversion={APP}/local.bin\n");
    engine.RunUpdate();
    EXPECT_EQ(LogNumbers(), (kStart + QList<int>{928, 930, 949}));
    EXPECT_EQ(statuses[statuses.size() - 2].status, 4);
}

TEST_F(EngineFixture, QueryAnsweredNoDownloadsNothing) {
    Serve("a.txt", "A");
    ServeControlFile("[update]\nunconditional=yes\n[application]\nappupdate=1\nappname=prog\nappcomps=a.txt\n"
                     "[action]\nquery=Really\\nupdate?\n[files]\ncount=1\n[file1]\nurl=" +
                     FileUrl("a.txt") + "\n");
    host.answers = {TModalResult::No};
    engine.RunUpdate();

    EXPECT_EQ(LogNumbers(), (kStart + QList<int>{936, 949}));
    ASSERT_EQ(host.asks.size(), 1u);
    EXPECT_EQ(host.asks[0].text, "Really\rupdate?");
    EXPECT_EQ(host.asks[0].type, TMsgDlgType::Information);
    EXPECT_EQ(host.asks[0].buttons, mbYes | mbNo);
    EXPECT_FALSE(QFileInfo::exists(Work("a.txt")));
    EXPECT_FALSE(QFileInfo::exists(TmpDir() + "/zettelwerk.inf"));
    EXPECT_FALSE(engine.AppUpdate());
    EXPECT_EQ(host.terminated, 0);
}

TEST_F(EngineFixture, PromptOnceNoStillFinishes) {
    ServeControlFile(ThreeFiles(server) + "[action]\nrunafter=after.sh now\n");
    host.answers = {TModalResult::No};
    engine.RunUpdate();

    ASSERT_EQ(host.asks.size(), 1u);
    EXPECT_EQ(host.asks[0].text, "Download update files ?");
    EXPECT_EQ(host.asks[0].type, TMsgDlgType::Confirmation);
    EXPECT_EQ(LogNumbers(), (kStart + QList<int>{943, 948, 949}));
    EXPECT_EQ(platform.process.started, QStringList{"after.sh now"});
    EXPECT_FALSE(QFileInfo::exists(Work("a.txt")));
}

TEST_F(EngineFixture, PromptOnceYesAsksOnceForThreeFiles) {
    Serve("a.txt", "A");
    Serve("b.txt", "BB");
    Serve("c.txt", "CCC");
    ServeControlFile(ThreeFiles(server));
    std::vector<int> before;
    engine.OnBeforeFileDownload = [&](TUpdateEngine*, int idx, const QString&, QString&) {
        before.push_back(idx);
    };
    engine.RunUpdate();

    EXPECT_EQ(host.asks.size(), 1u);
    EXPECT_EQ(before, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(updtest::ReadFile(Work("a.txt")), "A");
    EXPECT_EQ(updtest::ReadFile(Work("b.txt")), "BB");
    EXPECT_EQ(updtest::ReadFile(Work("c.txt")), "CCC");
    EXPECT_EQ(LogNumbers(), (kStart + QList<int>{943, 915, 915, 915, 948, 949}));
}

TEST_F(EngineFixture, PromptAllAsksPerFileAndSkipsRefused) {
    Serve("a.txt", "A");
    Serve("b.txt", "BB");
    Serve("c.txt", "CCC");
    ServeControlFile(ThreeFiles(server));
    engine.UpdateUpdate = wuuPromptAll;
    host.answers = {TModalResult::Yes, TModalResult::No, TModalResult::Yes};
    engine.RunUpdate();

    ASSERT_EQ(host.asks.size(), 3u);
    EXPECT_EQ(host.asks[1].text, "Download update file : b.txt");
    EXPECT_TRUE(QFileInfo::exists(Work("a.txt")));
    EXPECT_FALSE(QFileInfo::exists(Work("b.txt")));
    EXPECT_TRUE(QFileInfo::exists(Work("c.txt")));
}

TEST_F(EngineFixture, OneFailedFileOfTwoKeepsTheOtherAndDoesNotRestart) {
    Serve("good.txt", "good");
    ServeControlFile("[update]\nunconditional=yes\n[application]\nappupdate=1\nappname=prog\n"
                     "appcomps=good.txt\nsilentrestart=1\n[files]\ncount=2\n[file1]\nurl=" +
                     FileUrl("good.txt") + "\n[file2]\nurl=" + FileUrl("missing.txt") + "\n");
    engine.RunUpdate();

    EXPECT_EQ(updtest::ReadFile(Work("good.txt")), "good");
    EXPECT_FALSE(QFileInfo::exists(Work("missing.txt")));
    EXPECT_EQ(LogNumbers(), (kStart + QList<int>{943, 915, 962, 915, 916, 946, 948, 949}));
    const auto failed = std::find_if(statuses.begin(), statuses.end(),
                                     [](auto& s) { return s.text.startsWith("Cannot download"); });
    ASSERT_NE(failed, statuses.end());
    EXPECT_EQ(failed->text, "Cannot download update file : " + FileUrl("missing.txt"));
    EXPECT_EQ(failed->status, 2);
    EXPECT_FALSE(engine.AppUpdate());
    EXPECT_EQ(host.terminated, 0);
    EXPECT_TRUE(platform.process.started.isEmpty());
}

TEST_F(EngineFixture, ActionsRunInOrder) {
    ServeControlFile("[update]\nunconditional=yes\n[action]\nmsg=Hello\\nWorld\nhtmldlg={APP}/page.html\n"
                     "runbefore=before.sh\nshowURL=http://127.0.0.1/news.html\n");
    engine.RunUpdate();

    EXPECT_EQ(LogNumbers(), (kStart + QList<int>{934, 935, 942, 949}));
    ASSERT_EQ(host.asks.size(), 1u);
    EXPECT_EQ(host.asks[0].text, "Hello\rWorld");
    EXPECT_EQ(host.asks[0].type, TMsgDlgType::Information);
    EXPECT_EQ(host.asks[0].buttons, int(mbOK));
    EXPECT_EQ(platform.html.shown, QStringList{QDir::currentPath() + "/./page.html"});
    EXPECT_EQ(platform.process.started, QStringList{"before.sh"});
    EXPECT_EQ(platform.browser.newWindows, QStringList{"http://127.0.0.1/news.html"});
    EXPECT_TRUE(platform.browser.systemOpened.isEmpty());
}

TEST_F(EngineFixture, ShowUrlFallsBackToSystemHandlerWithProxyCredentials) {
    ServeControlFile("[update]\nunconditional=yes\n[action]\nshowURL=http://127.0.0.1/news.html\n");
    platform.browser.browserStarts = false;
    engine.ProxyUserID = "u";
    engine.ProxyPassword = "p";
    engine.RunUpdate();
    EXPECT_EQ(platform.browser.systemOpened, QStringList{"http://u:p@127.0.0.1/news.html"});
}

TEST_F(EngineFixture, ReleaseNotesRefusedEndsWithoutDownloads) {
    Serve("notes.txt", "line one\nline two\n");
    Serve("a.txt", "A");
    ServeControlFile("[update]\nunconditional=yes\n[whatsnew]\nfile=" + FileUrl("notes.txt") +
                     "\ncaption=News\ncancelbtn=Nein\n[files]\ncount=1\n[file1]\nurl=" + FileUrl("a.txt") +
                     "\n");
    host.textAnswers = {false};
    engine.RunUpdate();

    ASSERT_EQ(host.texts.size(), 1u);
    EXPECT_EQ(host.texts[0].Caption, "News");
    EXPECT_EQ(host.texts[0].Lines, (QStringList{"line one", "line two"}));
    EXPECT_EQ(host.texts[0].OkButton, "Ok");
    EXPECT_EQ(host.texts[0].CancelButton, "Nein");
    EXPECT_EQ(LogNumbers(), (kStart + QList<int>{937, 915, 938, 949}));
    EXPECT_FALSE(QFileInfo::exists(Work("a.txt")));
    EXPECT_FALSE(QFileInfo::exists(TmpDir() + "/notes.txt")) << "the fetched text is deleted";
}

TEST_F(EngineFixture, LicenceIsFetchedEvenAfterRefusedNotesButNotShown) {
    Serve("notes.txt", "n");
    Serve("eula.txt", "terms");
    ServeControlFile("[update]\nunconditional=yes\n[whatsnew]\nfile=" + FileUrl("notes.txt") +
                     "\n[eula]\nfile=" + FileUrl("eula.txt") + "\n");
    host.textAnswers = {false};
    engine.RunUpdate();
    EXPECT_EQ(host.texts.size(), 1u);
    EXPECT_EQ(LogNumbers(), (kStart + QList<int>{937, 915, 938, 939, 915, 949}));
}

TEST_F(EngineFixture, HandOffWritesUpdaterIntoThePrivateRunDirectoryAndEndsTheProgram) {
    Serve("prog_new", "new program");
    ServeControlFile("[update]\nunconditional=yes\n[application]\nappupdate=1\nappname=prog\nappparam=-x\n"
                     "appcomps=prog_new extra.cab\nsilentrestart=1\n[files]\ncount=1\n[file1]\nurl=" +
                     FileUrl("prog_new") + "\n");
    engine.SetUpdaterResourceOverride(SzddCompress("updater bytes", 'e'));
    QString runDir;
    QByteArray updater;
    QFile::Permissions dirMode, updaterMode;
    host.onTerminate = [&] {
        runDir = engine.RunDirectory();
        dirMode = QFileInfo(runDir).permissions();
        updater = updtest::ReadFile(runDir + "upd.exe");
        updaterMode = QFileInfo(runDir + "upd.exe").permissions();
        EXPECT_FALSE(QFileInfo::exists(runDir + "upd.ex_"));
    };
    engine.RunUpdate();

    EXPECT_EQ(LogNumbers(), (kStart + QList<int>{943, 915, 962, 948, 949, 959, 958}));
    // A directory of its own beside the program (TempDirectory "."), for this user only.
    EXPECT_TRUE(runDir.startsWith(QDir::currentPath() + "/.zw-update-")) << runDir.toStdString();
    EXPECT_EQ(dirMode, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadUser |
                           QFile::WriteUser | QFile::ExeUser);
    EXPECT_EQ(updater, "updater bytes");
    EXPECT_TRUE(updaterMode & QFile::ExeOwner);
    EXPECT_FALSE(updaterMode & (QFile::WriteGroup | QFile::WriteOther | QFile::ExeOther));
    EXPECT_FALSE(QFileInfo::exists(runDir)) << "the private directory goes with the run";
    EXPECT_TRUE(QDir(TmpDir()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
        << "nothing in the shared temporary directory";
    // The restart command holds a blank, so it is quoted as one argument.
    const QString expected =
        runDir + "upd.exe 4242 L \"" + QDir::currentPath() + "/prog -x\" prog_new extra.cab";
    EXPECT_EQ(platform.process.started, QStringList{expected});
    EXPECT_EQ(statuses.back().text, "Spawn " + expected);
    EXPECT_EQ(statuses[statuses.size() - 2].text, "Restart app in directory : " + QDir::currentPath());
    EXPECT_EQ(host.terminated, 1);
    EXPECT_EQ(engine.RunEnd(), TRunEnd::HandedOff);
    EXPECT_TRUE(host.asks.size() == 1u) << "only the download question";
}

TEST_F(EngineFixture, EachHandOffWritesItsOwnUpdater) {
    Serve("prog_new", "new program");
    ServeControlFile(
        "[update]\nunconditional=yes\n[application]\nappupdate=1\nappname=prog\nappcomps=prog_new\n"
        "silentrestart=1\n[files]\ncount=1\n[file1]\nurl=" +
        FileUrl("prog_new") + "\n");
    QStringList dirs;
    QList<QByteArray> updaters;
    host.onTerminate = [&] {
        dirs << engine.RunDirectory();
        updaters << updtest::ReadFile(engine.RunDirectory() + "upd.exe");
    };
    engine.SetUpdaterResourceOverride(SzddCompress("first updater", 'e'));
    engine.RunUpdate();
    engine.SetUpdaterResourceOverride(SzddCompress("second", 'e'));
    engine.RunUpdate();
    EXPECT_EQ(updaters, (QList<QByteArray>{"first updater", "second"}));
    ASSERT_EQ(dirs.size(), 2);
    EXPECT_NE(dirs[0], dirs[1]);
    EXPECT_EQ(host.terminated, 2);
    EXPECT_EQ(platform.process.started.size(), 2);
}

TEST_F(EngineFixture, UpdaterInADirectoryWithABlankIsOneQuotedProgramName) {
    QDir().mkpath(Work("my programs"));
    QDir::setCurrent(Work("my programs"));
    Serve("prog_new", "new program");
    ServeControlFile(
        "[update]\nunconditional=yes\n[application]\nappupdate=1\nappname=prog\nappcomps=prog_new\n"
        "silentrestart=1\n[files]\ncount=1\n[file1]\nurl=" +
        FileUrl("prog_new") + "\n");
    engine.SetUpdaterResourceOverride(SzddCompress("u", 'e'));
    engine.RunUpdate();
    ASSERT_EQ(platform.process.started.size(), 1);
    EXPECT_TRUE(platform.process.started[0].startsWith("\"" + Work("my programs/.zw-update-")))
        << platform.process.started[0].toStdString();
    EXPECT_TRUE(platform.process.started[0].contains("/upd.exe\" 4242 L "));
}

TEST_F(EngineFixture, RestartQuestionAnsweredNoKeepsTheProgramRunning) {
    Serve("prog_new", "new");
    ServeControlFile(
        "[update]\nunconditional=yes\n[application]\nappupdate=1\nappname=prog\nappcomps=prog_new\n"
        "[files]\ncount=1\n[file1]\nurl=" +
        FileUrl("prog_new") + "\n");
    engine.SetUpdaterResourceOverride(SzddCompress("u", 'e'));
    host.answers = {TModalResult::Yes, TModalResult::No};
    engine.RunUpdate();

    ASSERT_EQ(host.asks.size(), 2u);
    EXPECT_EQ(host.asks[1].text, "Shutdown application to update executable files ?");
    EXPECT_EQ(host.terminated, 0);
    EXPECT_TRUE(platform.process.started.isEmpty());
    EXPECT_EQ(updtest::ReadFile(Work("prog_new")), "new") << "the component stays where it is";
}

TEST_F(EngineFixture, FailedSpawnReportsAndStillEnds) {
    Serve("prog_new", "new");
    ServeControlFile(
        "[update]\nunconditional=yes\n[application]\nappupdate=1\nappname=my prog\nappcomps=prog_new\n"
        "silentrestart=1\n[files]\ncount=1\n[file1]\nurl=" +
        FileUrl("prog_new") + "\n");
    engine.SetUpdaterResourceOverride(SzddCompress("u", 'e'));
    platform.process.startFails = true;
    engine.Logging = false;
    engine.RunUpdate();

    EXPECT_FALSE(QFileInfo::exists(Work("WUPDATE.LOG"))) << "logging off writes nothing";
    ASSERT_FALSE(statuses.empty());
    EXPECT_EQ(statuses.back().text, "Failed to spawn updater process : No such file or directory");
    EXPECT_EQ(statuses.back().status, 9);
    EXPECT_EQ(statuses.back().error, 2);
    EXPECT_EQ(host.terminated, 1);
    // The restart command is quoted as one argument because it contains a blank; "X" without logging.
    ASSERT_EQ(platform.process.started.size(), 1);
    EXPECT_TRUE(platform.process.started[0].endsWith(" X \"" + QDir::currentPath() + "/my prog\" prog_new"))
        << platform.process.started[0].toStdString();
}

TEST_F(EngineFixture, CancelStopsTheRunBeforeFinishing) {
    Serve("a.txt", QByteArray(10000, 'a'));
    Serve("b.txt", "b");
    ServeControlFile(
        "[update]\nunconditional=yes\n[action]\nrunafter=after.sh\n[files]\ncount=2\n[file1]\nurl=" +
        FileUrl("a.txt") + "\n[file2]\nurl=" + FileUrl("b.txt") + "\n");
    bool success = false;
    engine.OnSuccess = [&](TUpdateEngine*) { success = true; };
    engine.OnBeforeFileDownload = [&](TUpdateEngine*, int, const QString&, QString&) {
        engine.OnProgressCancel = [](TUpdateEngine*, bool& cancel) { cancel = true; };
    };
    engine.RunUpdate();

    EXPECT_TRUE(engine.Cancelled());
    EXPECT_FALSE(QFileInfo::exists(Work("a.txt")));
    EXPECT_FALSE(QFileInfo::exists(Work("b.txt")));
    EXPECT_TRUE(platform.process.started.isEmpty()) << "finishing is skipped";
    EXPECT_FALSE(success);
    EXPECT_TRUE(LogNumbers().contains(964));
    EXPECT_FALSE(LogNumbers().contains(948));
}

TEST_F(EngineFixture, SignatureCheckFailureEndsTheRun) {
    ServeControlFile("[update]\nsignature=Other\nunconditional=yes\n");
    engine.SignatureCheck = true;
    engine.RunUpdate();
    EXPECT_EQ(LogNumbers(), (kStart + QList<int>{927, 949}));
}

TEST_F(EngineFixture, NoSessionMeansOnlyClosing) {
    engine.UpdateConnect = wucNone;
    engine.RunUpdate();
    EXPECT_EQ(LogNumbers(), (QList<int>{963, 918}));
}

TEST_F(EngineFixture, LastUrlAndDateKeptInTheUserSettings) {
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, Work("config"));
    engine.LastURLEntry.Save = true;
    engine.LastURLEntry.Key = "Software\\Zettelwerk";
    engine.LastURLEntry.Section = "LetzteAktualisierung";
    {
        QSettings s(QSettings::IniFormat, QSettings::UserScope, "Software", "Zettelwerk");
        s.beginGroup("LetzteAktualisierung");
        s.setValue("LastURL", FileUrl("other.inf"));
        s.setValue("LastDate", "01/06/2005");
    }
    Serve("other.inf",
          "[update]\ndate=01/01/2005\n[action]\nupdateURL=" + FileUrl("next.inf").toUtf8() + "\n");
    engine.RunUpdate();
    // The stored address replaced URL; the stored date is newer than the update's.
    EXPECT_EQ(LogNumbers(), (kStart + QList<int>{928, 930, 949}));

    Serve("other.inf",
          "[update]\ndate=02/07/2006\ntime=14:30\n[action]\nupdateURL=" + FileUrl("next.inf").toUtf8() +
              "\n[files]\ncount=1\n[file1]\nurl=" + FileUrl("a.txt").toUtf8() + "\n");
    Serve("a.txt", "A");
    engine.RunUpdate();
    QSettings s(QSettings::IniFormat, QSettings::UserScope, "Software", "Zettelwerk");
    s.beginGroup("LetzteAktualisierung");
    EXPECT_EQ(s.value("LastURL").toString(), FileUrl("next.inf"));
    EXPECT_EQ(s.value("LastDate").toString(), "02/07/2006");
    EXPECT_EQ(s.value("LastTime").toString(), "14:30");
    EXPECT_TRUE(LogNumbers().contains(941));
}

namespace {

// Dial-up and sessions for the switched-off branches; HTTP goes to the real client.
class TScriptedInternet : public TInternet {
public:
    bool dialWorks = true;
    QList<bool> dials; // askUser per dial
    int hangups = 0;
    bool ftpSession = false;
    bool Autodial(bool askUser) override {
        dials << askUser;
        return dialWorks;
    }
    void AutodialHangup() override { ++hangups; }
    std::unique_ptr<TInternetSession> Open(const QString& agent, const QString& proxy) override {
        if (ftpSession)
            return std::make_unique<TRefusingFtpSession>();
        return SystemInternet().Open(agent, proxy);
    }

    class TRefusingFtpSession : public TInternetSession {
    public:
        std::unique_ptr<TInternetRequest> OpenUrl(const QString&, const QString&, quint32) override {
            return {};
        }
        std::unique_ptr<TInternetConnection> ConnectFtp(const QString&, int, const QString&, const QString&,
                                                        bool) override {
            return {};
        }
        std::unique_ptr<TInternetRequest> HttpPost(const QString&, int, const QString&, const QString&,
                                                   const QByteArray&) override {
            return {};
        }
        QString LastResponseInfo() const override { return "530 Login incorrect"; }
        int LastError() const override { return 12014; }
    };
};

struct TInternetScope {
    explicit TInternetScope(TInternet* i) { SetInternet(i); }
    ~TInternetScope() { SetInternet(nullptr); }
};

} // namespace

TEST_F(EngineFixture, SilentDialUpIsHungUpAtTheEnd) {
    TScriptedInternet internet;
    TInternetScope scope(&internet);
    platform.online.connected = false;
    engine.URL = server.Url("/files/zettelwerk.inf").replace("127.0.0.1", "localhost");
    engine.UpdateConnect = wucConnectSilentHangup;
    ServeControlFile("[update]\n");
    engine.RunUpdate();
    EXPECT_EQ(internet.dials, QList<bool>{false});
    EXPECT_EQ(internet.hangups, 1);
    EXPECT_EQ(LogNumbers(), (QList<int>{963, 918, 920, 921, 915, 926, 949, 955}));
}

TEST_F(EngineFixture, FailedDialUpEndsTheRun) {
    TScriptedInternet internet;
    internet.dialWorks = false;
    TInternetScope scope(&internet);
    platform.online.connected = false;
    engine.URL = "http://update.example/zettelwerk.inf";
    engine.UpdateConnect = wucConnectPrompt;
    engine.RunUpdate();
    EXPECT_EQ(internet.dials, QList<bool>{true});
    EXPECT_EQ(LogNumbers(), (QList<int>{963, 918, 919, 953}));
}

TEST_F(EngineFixture, FtpConnectFailureIsReportedWithoutLogLine) {
    TScriptedInternet internet;
    internet.ftpSession = true;
    TInternetScope scope(&internet);
    engine.UpdateType = ftpUpdate;
    engine.Host = "ftp.example";
    engine.RunUpdate();
    EXPECT_EQ(LogNumbers(), (QList<int>{963, 918, 921, 923, 949}));
    const auto it = std::find_if(statuses.begin(), statuses.end(), [](auto& s) { return s.status == 1; });
    ASSERT_NE(it, statuses.end());
    EXPECT_EQ(it->text, "530 Login incorrect");
    EXPECT_EQ(it->error, 12014);
}
