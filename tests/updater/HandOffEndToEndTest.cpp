// A program updates its own executable from a loopback HTTP server: the engine writes out the
// updater and ends, the updater waits for the program's process, replaces the executable and
// starts the program again.
#include "update/MinisignTestSupport.h"
#include "update/UpdateTestSupport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {

QList<int> MessageNumbers(const QByteArray& log) {
    static const QRegularExpression re(R"(^.{19} : \[(\d+)\] )");
    QList<int> numbers;
    for (const QByteArray& line : log.split('\n')) {
        const auto m = re.match(QString::fromLocal8Bit(line));
        if (m.hasMatch())
            numbers << m.captured(1).toInt();
    }
    return numbers;
}

} // namespace

TEST(HandOffEndToEnd, ProgramIsReplacedAndRestarted) {
    if (!updtest::HaveMinisign())
        GTEST_SKIP() << "minisign is not installed (scripts/setup.sh installs it)";
    updtest::TMinisignKey key;
    ASSERT_TRUE(key.Ok());
    updtest::THttpServer server;
    ASSERT_TRUE(server.Running());
    QTemporaryDir work;
    ASSERT_TRUE(work.isValid());
    const QString dir = work.path() + "/";
    QDir().mkpath(dir + "tmp");

    // The running program is a copy of the test host; its replacement a script that records
    // its arguments and the time it ran.
    ASSERT_TRUE(QFile::copy(ZW_TEST_HOST, dir + "hostprog"));
    QFile::setPermissions(dir + "hostprog", QFile::permissions(ZW_TEST_HOST));
    const QByteArray newProgram = "#!/bin/sh\necho \"$@\" > restarted.txt\n";
    updtest::WriteFile(server.Root() + "/hostprog_new", newProgram);
    updtest::WriteFile(server.Root() + "/zettelwerk.inf",
                       "[update]\nunconditional=yes\n"
                       "[application]\nappupdate=1\nappname=hostprog\nappparam=restarted\n"
                       "appcomps=hostprog_new\nsilentrestart=1\n"
                       "[files]\ncount=1\n[file1]\nurl=" +
                           server.Url("/files/hostprog_new").toUtf8() + "\ndescr=the program\nsha256=" +
                           QCryptographicHash::hash(newProgram, QCryptographicHash::Sha256).toHex() + "\n");
    ASSERT_TRUE(key.Sign(server.Root() + "/zettelwerk.inf", "version:1.0.1 file:zettelwerk.inf"));

    QProcess host;
    host.setWorkingDirectory(dir);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TMPDIR", dir + "tmp");
    env.insert("ZW_TESTHOST_LINGER_MS", "1500"); // the program ends 1.5 s after the hand-off
    host.setProcessEnvironment(env);
    host.setProcessChannelMode(QProcess::ForwardedChannels);
    host.start(dir + "hostprog", {server.Url("/files/zettelwerk.inf"), key.PublicKeyFile()});
    ASSERT_TRUE(host.waitForStarted(10000));
    // While the program still runs, its executable must stay untouched.
    bool replacedEarly = false;
    for (int i = 0; i < 1200 && !host.waitForFinished(50); ++i) {
        if (updtest::ReadFile(dir + "hostprog") == newProgram)
            replacedEarly = true;
    }
    ASSERT_EQ(host.state(), QProcess::NotRunning);
    EXPECT_FALSE(replacedEarly) << "the updater waits for the program's process";
    EXPECT_EQ(host.exitCode(), 0) << "the program was told to end";

    for (int i = 0; i < 200 && !QFileInfo::exists(dir + "restarted.txt"); ++i)
        QThread::msleep(50);
    ASSERT_TRUE(QFileInfo::exists(dir + "restarted.txt")) << "the program was started again";
    EXPECT_EQ(updtest::ReadFile(dir + "restarted.txt"), "restarted\n");
    EXPECT_EQ(updtest::ReadFile(dir + "hostprog"), newProgram);
    EXPECT_FALSE(QFileInfo::exists(dir + "hostprog_new"));
    // Nothing in the shared temporary directory; the run's private directory is gone.
    EXPECT_TRUE(QDir(dir + "tmp").isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
    EXPECT_TRUE(QDir(dir).entryList({".zw-update-*"}, QDir::AllEntries | QDir::Hidden).isEmpty());

    const QByteArray log = updtest::ReadFile(dir + "WUPDATE.LOG");
    EXPECT_EQ(MessageNumbers(log),
              (QList<int>{963, 918, 921, 915, 926, 915, 975, 943, 915, 962, 948, 949, 959, 958}))
        << log.toStdString();
    const QList<QByteArray> lines = log.trimmed().split('\n');
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_TRUE(lines.last().endsWith(" : upd restart " + QFile::encodeName(dir) + "hostprog restarted"))
        << lines.last().toStdString();
    const QByteArray spawn = lines[lines.size() - 2];
    EXPECT_TRUE(spawn.contains("[958] Spawn " + QFile::encodeName(dir) + ".zw-update-"));
    EXPECT_TRUE(spawn.contains("/upd.exe "));
    // The restart command holds a blank, so it travels as one quoted argument.
    EXPECT_TRUE(spawn.endsWith(" L \"" + QFile::encodeName(dir) +
                               "hostprog restarted\" hostprog_new (Status:0) (Error:0)"))
        << spawn.toStdString();
}

// A release published with zw-publish and signed with minisign replaces the running program:
// packed in one cabinet (unpacked by the updater) or file by file (expanded by the engine).
class PublishedRelease : public ::testing::TestWithParam<QString> {};

TEST_P(PublishedRelease, ReplacesTheRunningProgram) {
    if (!updtest::HaveMinisign())
        GTEST_SKIP() << "minisign is not installed (scripts/setup.sh installs it)";
    updtest::TMinisignKey key;
    ASSERT_TRUE(key.Ok());
    updtest::THttpServer server;
    ASSERT_TRUE(server.Running());
    QTemporaryDir work, release;
    const QString dir = work.path() + "/";
    ASSERT_TRUE(QFile::copy(ZW_TEST_HOST, dir + "hostprog"));
    QFile::setPermissions(dir + "hostprog", QFile::permissions(ZW_TEST_HOST));
    updtest::WriteFile(dir + "hostprog.chm", "old help");
    updtest::WriteFile(dir + "notizen.gdb", "the user's notes");

    const QByteArray newProgram = "#!/bin/sh\necho \"$@\" > restarted.txt\n";
    updtest::WriteFile(release.filePath("hostprog"), newProgram);
    updtest::WriteFile(release.filePath("hostprog.chm"), "new help");
    updtest::WriteFile(release.filePath("notizen.gdb"), "an empty database");
    QProcess publish;
    publish.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    publish.setStandardInputFile(QProcess::nullDevice());
    publish.start(ZW_PUBLISH, {"--release", release.path(), "--version", "1.0.1", "--base-url",
                               server.Url(""), "--out", server.Root(), "--program", "hostprog", "--pack",
                               GetParam(), "--sign", key.SecretKeyFile()});
    ASSERT_TRUE(publish.waitForFinished(60000));
    ASSERT_EQ(publish.exitCode(), 0) << publish.readAllStandardOutput().toStdString();

    QProcess host;
    host.setWorkingDirectory(dir);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TMPDIR", dir);
    host.setProcessEnvironment(env);
    host.setProcessChannelMode(QProcess::ForwardedChannels);
    host.start(dir + "hostprog", {server.Url("/update/zettelwerk/zettelwerk.inf"), key.PublicKeyFile()});
    ASSERT_TRUE(host.waitForFinished(60000));
    EXPECT_EQ(host.exitCode(), 0) << "the program was told to end";
    for (int i = 0; i < 200 && !QFileInfo::exists(dir + "restarted.txt"); ++i)
        QThread::msleep(50);
    ASSERT_TRUE(QFileInfo::exists(dir + "restarted.txt"))
        << updtest::ReadFile(dir + "WUPDATE.LOG").toStdString();
    EXPECT_EQ(updtest::ReadFile(dir + "hostprog"), newProgram);
    EXPECT_TRUE(QFileInfo(dir + "hostprog").isExecutable()) << "the replaced program keeps its permissions";
    EXPECT_EQ(updtest::ReadFile(dir + "hostprog.chm"), "new help");
    EXPECT_EQ(updtest::ReadFile(dir + "notizen.gdb"), "the user's notes") << "never published";
    EXPECT_EQ(QDir(dir).entryList(QDir::Files, QDir::Name),
              (QStringList{"WUPDATE.LOG", "hostprog", "hostprog.chm", "notizen.gdb", "restarted.txt"}))
        << "no packed file or component left behind";
}

INSTANTIATE_TEST_SUITE_P(Packs, PublishedRelease, ::testing::Values(QString("cab"), QString("szdd")),
                         [](const auto& info) { return info.param.toStdString(); });
