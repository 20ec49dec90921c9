// File transfer against a loopback HTTP server started by the test.
#include "update/FileTransfer.h"

#include "UpdateTestSupport.h"
#include "platform/InternetSession.h"
#include "platform/fake/FakeInternet.h"
#include "update/TLoginForm.h"

#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>

using updtest::ReadFile;
using updtest::SzddLiteral;
using updtest::WriteFile;

namespace {

QByteArray Pattern(qsizetype n) {
    QByteArray data(n, '\0');
    for (qsizetype i = 0; i < n; ++i)
        data[i] = char((i * 7 + i / 4096) & 0xFF);
    return data;
}

} // namespace

class FileTransferTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { server = new updtest::THttpServer; }
    static void TearDownTestSuite() {
        delete server;
        server = nullptr;
    }

    void SetUp() override {
        ASSERT_TRUE(server->Running()) << "python3 test server did not start";
        ASSERT_TRUE(work.isValid());
        target = work.filePath("target") + "/";
        temp = work.filePath("temp");
        QDir().mkpath(target);
        QDir().mkpath(temp);
        session = Internet().Open("TUpdateEngine", QString());
        ASSERT_TRUE(session);
        ctx.Settings.TempDirectory = temp;
        ctx.Settings.LogFileName = work.filePath("WUPDATE.LOG");
        ctx.Events.ReportStatus = [this](int no, const QString& param, int status, int err) {
            reports << QStringLiteral("%1|%2|%3|%4").arg(no).arg(param).arg(status).arg(err);
        };
        ctx.Events.FileProgress = [this](const QString& name, qint64 pos, qint64 size) {
            progressName = name;
            progress << qMakePair(pos, size);
        };
        ctx.Events.FileDownloaded = [this](const QString& name) { downloaded << name; };
        ctx.Events.ProcessMessages = [this] { ++pumps; };
        ctx.Events.ShowLoginDialog = [this](const QString& caption) -> std::optional<TLoginData> {
            loginCaptions << caption;
            return login;
        };
    }

    void Serve(const QString& name, const QByteArray& data) { WriteFile(server->Root() + "/" + name, data); }
    bool Get(const QString& path, bool compressed = false) {
        reports.clear();
        progress.clear();
        downloaded.clear();
        pumps = 0;
        return DownloadFile(ctx, session.get(), server->Url(path), compressed, target);
    }
    QStringList TempFiles() const { return QDir(temp).entryList(QDir::Files); }

    static updtest::THttpServer* server;
    QTemporaryDir work;
    QString target, temp;
    std::unique_ptr<TInternetSession> session;
    TTransferContext ctx;
    QStringList reports, downloaded, loginCaptions;
    QList<QPair<qint64, qint64>> progress;
    QString progressName;
    int pumps = 0;
    std::optional<TLoginData> login;
};

updtest::THttpServer* FileTransferTest::server = nullptr;

TEST_F(FileTransferTest, WithContentLength) {
    const QByteArray data = Pattern(10000);
    Serve("zettelwerk.inf", data);
    EXPECT_TRUE(Get("/files/zettelwerk.inf"));
    EXPECT_EQ(ReadFile(target + "zettelwerk.inf"), data);
    EXPECT_EQ(reports, QStringList({"915|" + server->Url("/files/zettelwerk.inf") + "|3|0"}));
    EXPECT_EQ(progress, (QList<QPair<qint64, qint64>>{{4096, 10000}, {8192, 10000}, {10000, 10000}}));
    EXPECT_EQ(progressName, target + "zettelwerk.inf");
    EXPECT_EQ(pumps, 4); // one per block, and one for the read that finds the end
    EXPECT_EQ(downloaded, QStringList({target + "zettelwerk.inf"}));
    EXPECT_TRUE(TempFiles().isEmpty());
    EXPECT_FALSE(ctx.Cancelled);
}

TEST_F(FileTransferTest, WithoutContentLength) {
    const QByteArray data = Pattern(9000);
    Serve("nolen.bin", data);
    EXPECT_TRUE(Get("/nolen/nolen.bin"));
    EXPECT_EQ(ReadFile(target + "nolen.bin"), data);
    ASSERT_FALSE(progress.isEmpty());
    EXPECT_EQ(progress.last(), qMakePair(qint64(9000), qint64(0)));
    EXPECT_TRUE(Get("/chunked/nolen.bin"));
    EXPECT_EQ(ReadFile(target + "nolen.bin"), data);
    EXPECT_EQ(progress.last(), qMakePair(qint64(9000), qint64(0)));
}

TEST_F(FileTransferTest, RedirectIsFollowed) {
    Serve("moved.txt", "moved");
    EXPECT_TRUE(Get("/redirect/moved.txt"));
    EXPECT_EQ(ReadFile(target + "moved.txt"), "moved");
}

TEST_F(FileTransferTest, ZeroBytesIsAFailureWithAnEmptyFileInPlace) {
    WriteFile(target + "empty", "old");
    EXPECT_FALSE(Get("/empty"));
    EXPECT_TRUE(QFileInfo::exists(target + "empty"));
    EXPECT_EQ(QFileInfo(target + "empty").size(), 0);
    EXPECT_EQ(downloaded, QStringList({target + "empty"}));
    EXPECT_TRUE(progress.isEmpty());
}

TEST_F(FileTransferTest, NotFound) {
    EXPECT_FALSE(Get("/files/nothing.txt"));
    EXPECT_EQ(reports.last(), "916|404|6|404");
    EXPECT_FALSE(QFileInfo::exists(target + "nothing.txt"));
    EXPECT_TRUE(TempFiles().isEmpty());
    EXPECT_TRUE(downloaded.isEmpty());
}

TEST_F(FileTransferTest, NoServer) {
    // Nothing listens on port 1.
    const QString url = "http://127.0.0.1:1/x.txt";
    reports.clear();
    EXPECT_FALSE(DownloadFile(ctx, session.get(), url, false, target));
    EXPECT_EQ(reports, QStringList({"915|" + url + "|3|0", "917|" + url + "|2|1"}));
    EXPECT_FALSE(DownloadFile(ctx, nullptr, url, false, target));
}

TEST_F(FileTransferTest, Authentication) {
    Serve("secret.txt", "secret contents");
    // Without credentials (waNever): the 401 is an HTTP error.
    EXPECT_FALSE(Get("/auth/secret.txt"));
    EXPECT_EQ(reports.last(), "916|401|6|401");
    EXPECT_TRUE(loginCaptions.isEmpty());

    ctx.Settings.UserID = "user";
    ctx.Settings.Password = "secret";
    EXPECT_TRUE(Get("/auth/secret.txt"));
    EXPECT_EQ(ReadFile(target + "secret.txt"), "secret contents");

    // waAuto: the dialog asks after a 401; the entries stay for later transfers.
    ctx.Settings.UserID = "user";
    ctx.Settings.Password = "wrong";
    ctx.Settings.Authenticate = waAuto;
    login = TLoginData{"user", "secret"};
    QFile::remove(target + "secret.txt");
    EXPECT_TRUE(Get("/auth/secret.txt"));
    EXPECT_EQ(loginCaptions, QStringList({"Connect to 127.0.0.1:" + QString::number(server->Port())}));
    EXPECT_EQ(ctx.Settings.Password, "secret");

    ctx.Settings.Password = "wrong";
    login.reset();
    EXPECT_FALSE(Get("/auth/secret.txt"));
    EXPECT_EQ(reports.last(), "956||0|0");

    // waAlways asks before the request when a credential is missing.
    ctx.Settings.Authenticate = waAlways;
    ctx.Settings.Password.clear();
    loginCaptions.clear();
    login = TLoginData{"user", "secret"};
    EXPECT_TRUE(Get("/auth/secret.txt"));
    EXPECT_EQ(loginCaptions.size(), 1);
    EXPECT_TRUE(Get("/auth/secret.txt"));
    EXPECT_EQ(loginCaptions.size(), 1); // both set now: no question
}

TEST_F(FileTransferTest, RequestHeaders) {
    EXPECT_TRUE(Get("/headers"));
    QByteArray headers = ReadFile(target + "headers");
    EXPECT_FALSE(headers.contains("Authorization"));
    EXPECT_TRUE(headers.contains("Pragma: no-cache"));
    EXPECT_TRUE(headers.contains("Cache-Control: no-cache"));
    EXPECT_TRUE(headers.contains("User-Agent: TUpdateEngine"));

    ctx.Settings.UserID = "user";
    EXPECT_TRUE(Get("/headers"));
    headers = ReadFile(target + "headers");
    EXPECT_TRUE(headers.contains("Authorization: Basic dXNlcjo=\n")) << headers.constData();
}

TEST_F(FileTransferTest, InterruptedTransferLeavesTheOldTarget) {
    Serve("cut.bin", Pattern(100000));
    WriteFile(target + "cut.bin", "old version");
    EXPECT_FALSE(Get("/cut/cut.bin"));
    EXPECT_EQ(ReadFile(target + "cut.bin"), "old version");
    EXPECT_TRUE(TempFiles().isEmpty());
    EXPECT_TRUE(downloaded.isEmpty());
}

TEST_F(FileTransferTest, OversizedDownloadsAreStopped) {
    EXPECT_EQ(ctx.Settings.MaxFileSize, qint64(1) << 30);
    WriteFile(target + "endless", "old");
    ctx.Settings.MaxFileSize = 1 << 20;
    EXPECT_FALSE(Get("/endless"));
    EXPECT_EQ(ReadFile(target + "endless"), "old");
    EXPECT_LE(progress.last().first, 1 << 20);
    EXPECT_TRUE(TempFiles().isEmpty());

    ctx.Settings.MaxFileSize = qint64(1) << 30;
    WriteFile(target + "huge", "old");
    EXPECT_FALSE(Get("/huge")); // announces 2 GiB
    EXPECT_EQ(ReadFile(target + "huge"), "old");
    EXPECT_TRUE(progress.isEmpty());
    EXPECT_TRUE(TempFiles().isEmpty());
}

TEST_F(FileTransferTest, CancelAfterFirstBlock) {
    Serve("c.bin", Pattern(50000));
    WriteFile(target + "c.bin", "old");
    ctx.Events.QueryCancel = [] { return true; };
    EXPECT_FALSE(Get("/files/c.bin"));
    EXPECT_TRUE(ctx.Cancelled);
    EXPECT_EQ(progress.size(), 1);
    EXPECT_EQ(ReadFile(target + "c.bin"), "old");
    EXPECT_TRUE(TempFiles().isEmpty());
    ctx.Events.QueryCancel = [] { return false; };
    EXPECT_TRUE(Get("/files/c.bin"));
    EXPECT_FALSE(ctx.Cancelled);
}

TEST_F(FileTransferTest, ReadOnlyTargetIsReplaced) {
    Serve("ro.txt", "new");
    WriteFile(target + "ro.txt", "old");
    QFile::setPermissions(target + "ro.txt", QFileDevice::ReadOwner | QFileDevice::ReadGroup);
    EXPECT_TRUE(Get("/files/ro.txt"));
    EXPECT_EQ(ReadFile(target + "ro.txt"), "new");
}

TEST_F(FileTransferTest, TargetThatCannotBeDeletedIsLogged) {
    Serve("blocked", "new");
    QDir().mkpath(target + "blocked/inner"); // a directory in the way
    EXPECT_FALSE(Get("/files/blocked"));
    EXPECT_EQ(downloaded, QStringList({target + "blocked"}));
    EXPECT_EQ(ReadFile(ctx.Settings.LogFileName),
              "Unable to delete file " + (target + "blocked").toUtf8() + "\n");
    EXPECT_EQ(TempFiles().size(), 1); // the complete download stays
}

TEST_F(FileTransferTest, QueryPartStaysInTheName) {
    Serve("a.txt", "query");
    EXPECT_TRUE(Get("/files/a.txt?lang=de"));
    EXPECT_EQ(ReadFile(target + "a.txt?lang=de"), "query");
}

TEST_F(FileTransferTest, TemporaryFileThatCannotBeCreatedIsAnError) {
    Serve("t.txt", "x");
    ctx.Settings.TempDirectory = work.filePath("no/such/dir");
    EXPECT_THROW(Get("/files/t.txt"), EInOutError);
}

TEST_F(FileTransferTest, CompressedCabinetIsUnpackedAndDeleted) {
    QTemporaryDir src;
    WriteFile(src.filePath("readme.txt"), "read me");
    WriteFile(src.filePath("lib/plugins/p.so"), Pattern(30000));
    QProcess gcab;
    gcab.setWorkingDirectory(src.path());
    gcab.start("gcab", {"-c", server->Root() + "/bundle.CAB", "readme.txt", "lib/plugins/p.so"});
    ASSERT_TRUE(gcab.waitForFinished(30000));
    ASSERT_EQ(gcab.exitCode(), 0);
    EXPECT_TRUE(Get("/files/bundle.CAB", true));
    EXPECT_EQ(ReadFile(target + "readme.txt"), "read me");
    EXPECT_EQ(ReadFile(target + "lib/plugins/p.so"), Pattern(30000));
    EXPECT_FALSE(QFileInfo::exists(target + "bundle.CAB"));

    ctx.Settings.KeepIntermediateFiles = true;
    EXPECT_TRUE(Get("/files/bundle.CAB", true));
    EXPECT_TRUE(QFileInfo::exists(target + "bundle.CAB"));
}

TEST_F(FileTransferTest, CompressedSzddIsExpanded) {
    const QByteArray program = "#!/bin/sh\necho updater\n" + Pattern(3000);
    Serve("upd.ex_", SzddLiteral(program, 'e'));
    EXPECT_TRUE(Get("/files/upd.ex_", true));
    EXPECT_EQ(ReadFile(target + "upd.exe"), program);
    EXPECT_FALSE(QFileInfo::exists(target + "upd.ex_"));
}

TEST_F(FileTransferTest, DefaultLogAndNameHandler) {
    Serve("n.txt", "named");
    ctx.Events.FileNameFromURL = [](const QString&, QString& name) { name = "renamed.txt"; };
    EXPECT_TRUE(Get("/files/n.txt"));
    EXPECT_EQ(ReadFile(target + "renamed.txt"), "named");
}

TEST_F(FileTransferTest, FormPost) {
    std::unique_ptr<TInternetRequest> r =
        session->HttpPost("127.0.0.1", server->Port(), "cgi/post",
                          "Content-Type: application/x-www-form-urlencoded\r\n", "a=1&b=2");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->StatusCode(), 200);
    char buffer[4096];
    const qint64 n = r->Read(buffer, sizeof buffer);
    EXPECT_EQ(QByteArray(buffer, int(n)), "/cgi/post application/x-www-form-urlencoded\na=1&b=2");
    EXPECT_EQ(r->Read(buffer, sizeof buffer), 0);
    EXPECT_FALSE(session->HttpPost("127.0.0.1", 1, "x", "", "a=1"));
}

// FTP through the fake facility: the directory is set once per run, the size found first.
TEST_F(FileTransferTest, FtpAndFileModes) {
    TFakeInternetScope fake;
    fake.internet.Responses["f.txt"].Body = Pattern(5000);
    std::unique_ptr<TInternetConnection> ftp = Internet().Open("a", "")->ConnectFtp("h", 21, "", "", false);
    ctx.Settings.UpdateType = ftpUpdate;
    ctx.Settings.FTPDirectory = "{APP}/pub";
    ctx.Events.ExpandPath = [](const QString& p) { return QString(p).replace("{APP}", "/srv"); };
    reports.clear();
    EXPECT_TRUE(DownloadFile(ctx, ftp.get(), "f.txt", false, target));
    EXPECT_FALSE(DownloadFile(ctx, ftp.get(), "g.txt", false, target));
    EXPECT_EQ(fake.internet.Requests,
              QStringList({"CD /srv/pub", "FIND f.txt", "OPEN f.txt", "FIND g.txt", "OPEN g.txt"}));
    EXPECT_EQ(ReadFile(target + "f.txt"), Pattern(5000));
    EXPECT_EQ(reports.last(), "917|g.txt|2|1");

    ctx.Settings.UpdateType = fileUpdate;
    WriteFile(work.filePath("share/c.txt"), "copied");
    reports.clear();
    EXPECT_TRUE(DownloadFile(ctx, nullptr, work.filePath("share/c.txt"), false, target));
    EXPECT_EQ(ReadFile(target + "c.txt"), "copied");
    EXPECT_TRUE(DownloadFile(ctx, nullptr, work.filePath("share/c.txt"), false, target + "other.txt"));
    EXPECT_EQ(ReadFile(target + "other.txt"), "copied");
    EXPECT_FALSE(DownloadFile(ctx, nullptr, work.filePath("share/none.txt"), false, target));
    EXPECT_EQ(reports.last(), "913|" + work.filePath("share/none.txt") + "|2|1");
    EXPECT_FALSE(DownloadFile(ctx, nullptr, target + "c.txt", false, target));
    EXPECT_EQ(reports.last(), "912|" + target + "c.txt|10|3");
}

TEST(TransferNames, UrlsHostsAndBase64) {
    EXPECT_EQ(FileNameFromUrl("http://h/update/zettelwerk/zettelwerk.inf"), "zettelwerk.inf");
    EXPECT_EQ(FileNameFromUrl("http://h/a\\b\\c.txt"), "c.txt");
    EXPECT_EQ(FileNameFromUrl("http://h/x/a.txt?v=1"), "a.txt?v=1");
    EXPECT_EQ(FileNameFromUrl("http://h/dir/"), "");
    EXPECT_EQ(FileNameFromUrl("plain"), "plain");
    EXPECT_EQ(HostFromUrl("http://example.org:8080/a/b"), "example.org:8080");
    EXPECT_EQ(HostFromUrl("ftp://h\\x"), "h");
    EXPECT_EQ(HostFromUrl("host/path"), "host");
    EXPECT_EQ(AddProxyCredentials("HTTP://h/a", "p", "q"), "http://p:q@h/a");
    EXPECT_EQ(AddProxyCredentials("ftp://h/a", "p", "q"), "ftp://h/a");

    const char* cases[][2] = {{"", ""},
                              {"f", "Zg=="},
                              {"fo", "Zm8="},
                              {"foo", "Zm9v"},
                              {"foob", "Zm9vYg=="},
                              {"user:secret", "dXNlcjpzZWNyZXQ="},
                              {"user:", "dXNlcjo="}};
    for (const auto& c : cases)
        EXPECT_EQ(Base64Encode(QString(c[0])), c[1]) << c[0];
    EXPECT_EQ(Base64Encode(QByteArray("\xff\xfe\xfd", 3)), "//79");
    EXPECT_EQ(BasicAuthHeader("", ""), "");
    EXPECT_EQ(BasicAuthHeader("user", ""), "Authorization: Basic dXNlcjo=\r\n\r\n");
    EXPECT_EQ(BasicAuthHeader("", "pw"), "Authorization: Basic OnB3\r\n\r\n");
}

TEST(TransferNames, TemporaryFileNames) {
    QTemporaryDir dir;
    const QString a = CreateTempFileName(dir.path(), "WUPD"), b = CreateTempFileName(dir.path(), "WUPD");
    EXPECT_NE(a, b);
    EXPECT_TRUE(QFileInfo(a).fileName().contains(QRegularExpression("^WUP[0-9A-F]{1,4}\\.TMP$")));
    EXPECT_EQ(QFileInfo(a).size(), 0);
    EXPECT_EQ(CreateTempFileName(dir.filePath("missing"), "WUPD"), "");
}

TEST(LoginForm, LayoutAndAnswers) {
    TLoginForm form;
    EXPECT_EQ(form.size(), QSize(328, 223));
    EXPECT_EQ(form.LabelUserName->text(), "&User name: ");
    EXPECT_EQ(form.LabelPassword->text(), "&Password:");
    EXPECT_EQ(form.EditUserName->geometry().topLeft(), QPoint(104, 80));
    EXPECT_EQ(form.EditPassword->geometry().topLeft(), QPoint(104, 112));
    EXPECT_EQ(form.EditPassword->echoMode(), QLineEdit::Password);
    EXPECT_EQ(form.BtnOK->geometry(), QRect(144, 152, 75, 25));
    EXPECT_EQ(form.BtnCancel->geometry(), QRect(224, 152, 75, 25));
    EXPECT_TRUE(form.BtnOK->isDefault());
    EXPECT_EQ(form.ImageBanner->size(), QSize(320, 60));

    QString caption;
    SetLoginDialogAnswerer([&](TLoginForm& f) -> std::optional<TLoginData> {
        caption = f.windowTitle();
        EXPECT_TRUE(f.EditUserName->text().isEmpty());
        return TLoginData{"u", "p"};
    });
    const std::optional<TLoginData> answer = ShowLoginDialog("Connect to host");
    SetLoginDialogAnswerer({});
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->UserID, "u");
    EXPECT_EQ(caption, "Connect to host");
}
