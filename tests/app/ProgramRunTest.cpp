// The real program, started as a process from a copy of the build's bin directory.
#include "app/ProgramProcess.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class ProgramRun : public ::testing::Test {
protected:
    void SetUp() override {
        const QString bin =
            (qEnvironmentVariableIsEmpty("ZW_BIN_DIR") ? QCoreApplication::applicationDirPath()
                                                       : qEnvironmentVariable("ZW_BIN_DIR"));
        if (!QFile::exists(bin + "/zettelwerk") || !QFile::exists(bin + "/notizen.gdb"))
            GTEST_SKIP() << "zettelwerk or notizen.gdb not built";
        ASSERT_TRUE(dir.isValid());
        for (const char* f : {"zettelwerk", "notizen.gdb", "zettelwerk.chm"})
            if (QFile::exists(bin + "/" + f)) {
                ASSERT_TRUE(QFile::copy(bin + "/" + f, dir.filePath(f)));
            }
    }

    // Runs the copy headless; every dialog takes its default button and is logged.
    int Run(const QStringList& args = {}, const QStringList& extraEnv = {}) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("ZW_QUIT_WHEN_IDLE", "1");
        env.insert("ZW_AUTO_ANSWER", "default");
        for (const QString& e : extraEnv)
            env.insert(e.section('=', 0, 0), e.section('=', 1));
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(dir.path());
        const TProgramEnd end = RunToEnd(p, dir.filePath("zettelwerk"), args, 60000);
        out = end.out;
        err = end.err;
        return end.code;
    }

    QByteArray Digest(const QString& file) {
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        QCryptographicHash h(QCryptographicHash::Sha256);
        h.addData(&f);
        return h.result();
    }

    QTemporaryDir dir;
    QString out, err;
};

} // namespace

TEST_F(ProgramRun, StartsToTheEventLoopAndEndsWithZero) {
    EXPECT_EQ(Run(), 0) << err.toStdString();
    EXPECT_FALSE(err.contains("dialog:")) << err.toStdString();
}

TEST_F(ProgramRun, MissingDatabaseShowsTheCriticalMessageAndWritesNothing) {
    ASSERT_TRUE(QFile::remove(dir.filePath("notizen.gdb")));
    const QStringList before = QDir(dir.path()).entryList(QDir::Files);
    EXPECT_EQ(Run(), 1);
    EXPECT_TRUE(err.contains(QString::fromUtf8(
        "dialog: Zettelwerk | Kritischer Fehler beim Öffnen der Datenbank\\nZettelwerk wird beendet ...")))
        << err.toStdString();
    EXPECT_EQ(err.count("dialog:"), 1) << "no further message";
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), before);
}

TEST_F(ProgramRun, TheCriticalMessageKeepsItsTextAndNamesTheEnginesCause) {
    const QString message = QString::fromUtf8(
        "dialog: Zettelwerk | Kritischer Fehler beim Öffnen der Datenbank\\nZettelwerk wird beendet ...");
    const QString db = dir.filePath("notizen.gdb");
    QFile::rename(db, db + ".ok");

    // Missing file.
    EXPECT_EQ(Run(), 1);
    EXPECT_TRUE(err.contains(message)) << err.toStdString();
    EXPECT_TRUE(err.contains("I/O error during \"open\" operation for file \"" + db + "\""))
        << err.toStdString();

    // Damaged file.
    QFile damaged(db);
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write(QByteArray(8192, 'x'));
    damaged.close();
    EXPECT_EQ(Run(), 1);
    EXPECT_TRUE(err.contains(message)) << err.toStdString();
    EXPECT_TRUE(err.contains("not a valid database")) << err.toStdString();

    // A lock directory the engine cannot use: a file where the directory should be.
    QFile::remove(db);
    QFile::rename(db + ".ok", db);
    const QString notADirectory = dir.filePath("lock-file");
    QFile blocker(notADirectory);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_EQ(Run({}, {"FIREBIRD_LOCK=" + notADirectory}), 1);
    EXPECT_TRUE(err.contains(message)) << err.toStdString();
    EXPECT_TRUE(err.contains(notADirectory)) << err.toStdString();
    EXPECT_FALSE(err.contains("I/O error")) << err.toStdString();
}

TEST_F(ProgramRun, MissingClientLibraryIsNamedWithTheLoadersReasonAndEndsNonZero) {
    const QByteArray db = Digest(dir.filePath("notizen.gdb"));
    const int rc = Run({}, {"ZW_FBCLIENT=libnichtvorhanden.so.7"});
    EXPECT_NE(rc, 0);
    EXPECT_TRUE(err.contains("libnichtvorhanden.so.7")) << err.toStdString();
    EXPECT_TRUE(err.contains("cannot open shared object file")) << err.toStdString();
    EXPECT_EQ(Digest(dir.filePath("notizen.gdb")), db);
}

// Starts the program, waits for its event loop, waits `settleMs` more and sends SIGTERM.
int ProgramRun_TerminateAfter(const QString& exe, int settleMs, QByteArray& log) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("ZW_AUTO_ANSWER", "default");
    env.remove("ZW_QUIT_WHEN_IDLE");
    p.setProcessEnvironment(env);
    p.start(exe);
    if (!p.waitForStarted(10000))
        return -1;
    for (int i = 0; i < 300 && !log.contains("event loop running"); ++i) {
        p.waitForReadyRead(100);
        log += p.readAllStandardError();
    }
    if (settleMs > 0)
        p.waitForFinished(settleMs);
    p.terminate(); // SIGTERM
    if (!p.waitForFinished(20000)) {
        p.kill();
        p.waitForFinished();
        return -2;
    }
    log += p.readAllStandardError();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -3;
}

TEST_F(ProgramRun, TerminationSignalEndsLikeQuit) {
    QByteArray log;
    EXPECT_EQ(ProgramRun_TerminateAfter(dir.filePath("zettelwerk"), 0, log), 0) << log.toStdString();
    EXPECT_TRUE(log.contains("event loop running"));
}

TEST_F(ProgramRun, TerminationSignalWhileTheFirstStartQuestionIsOpen) {
    // The delivered database has no settings row: the question opens after one second.
    QByteArray log;
    EXPECT_EQ(ProgramRun_TerminateAfter(dir.filePath("zettelwerk"), 2000, log), 0) << log.toStdString();
}

TEST_F(ProgramRun, VersionAndHelpOptions) {
    EXPECT_EQ(Run({"--version"}), 0);
    EXPECT_EQ(out.trimmed(), "Zettelwerk 1.0 (Dateiversion 1.0.0.0)");
    EXPECT_EQ(Run({"--help"}), 0);
    EXPECT_TRUE(out.contains("--version"));
}
