// Two processes on one database file: a second instance, a lock conflict, a backup.
#include "faults/FaultSupport.h"
#include "store/DatabaseBackup.h"
#include "store/fb/FbError.h"
#include "store/fb/FbService.h"

#include <QFileInfo>

namespace {

// The first instance: two committed notes, the first one changed and not committed (as a
// tool beside the program may hold it).
void HoldAnUncommittedEdit(TDriver& first, const QString& newTitle) {
    ASSERT_TRUE(first.WaitFor("READY")) << first.Lines().join('\n').toStdString();
    first.Command("save Eins");
    first.Command("save Zwei");
    ASSERT_TRUE(first.Command("list").contains("ROWS 2"));
    const QStringList out = first.Command("hold " + newTitle);
    ASSERT_TRUE(out.contains("HELD")) << out.join('\n').toStdString();
    ASSERT_FALSE(out.join('\n').contains("DIALOG")) << out.join('\n').toStdString();
}

QStringList Titles(const QStringList& lines) {
    QStringList titles;
    for (const QString& l : lines)
        if (l.startsWith("TITLE "))
            titles << l.mid(6);
    return titles;
}

} // namespace

TEST(TwoInstances, TheSecondProgramEndsWithAClearErrorOrRunsAndNothingIsLost) {
    // The program as delivered, against an instance that holds the file with an open edit.
    TTempDatabase db;
    TDriver first(db.Directory());
    HoldAnUncommittedEdit(first, "VonA");

    const QString programDir = db.Directory();
    QFile::copy(BinDir() + "/zettelwerk", programDir + "zettelwerk");
    QFile::setPermissions(programDir + "zettelwerk", QFile::permissions(BinDir() + "/zettelwerk"));
    QTemporaryDir home;
    QProcess second;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("ZW_AUTO_ANSWER", "default");
    env.insert("HOME", home.path());
    env.insert("XDG_CONFIG_HOME", home.path() + "/.config");
    second.setProcessEnvironment(env);
    second.start(programDir + "zettelwerk", {});
    ASSERT_TRUE(second.waitForStarted(10000));
    QString err;
    QElapsedTimer timer;
    timer.start();
    while (second.state() != QProcess::NotRunning && !err.contains("event loop running") &&
           timer.elapsed() < 30000) {
        second.waitForReadyRead(200);
        err += QString::fromUtf8(second.readAllStandardError());
    }
    if (err.contains("event loop running")) {
        // An engine that shares the file: the second instance runs and ends normally.
        ::kill(static_cast<pid_t>(second.processId()), SIGTERM);
        ASSERT_TRUE(second.waitForFinished(30000));
        EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(second.exitCode(), 0);
    } else {
        ASSERT_TRUE(second.state() == QProcess::NotRunning || second.waitForFinished(30000));
        err += QString::fromUtf8(second.readAllStandardError());
        EXPECT_EQ(second.exitStatus(), QProcess::NormalExit) << err.toStdString();
        EXPECT_EQ(second.exitCode(), 1) << err.toStdString();
        EXPECT_TRUE(err.contains(QString::fromUtf8("dialog: Zettelwerk | Kritischer Fehler beim Öffnen der "
                                                   "Datenbank\\nZettelwerk wird beendet ...")))
            << err.toStdString();
    }
    // The first instance goes on undisturbed and its edit is kept.
    EXPECT_EQ(Titles(first.Command("titles")), (QStringList{"VonA", "Zwei"}));
    first.Command("commit");
    EXPECT_EQ(first.Quit(), 0);
    EXPECT_EQ(NoteTitles(db.Directory()), (QStringList{"VonA", "Zwei"}));
}

TEST(TwoInstances, ALockConflictIsShownAtOnceAndTheSecondCanRetryAfterTheCommit) {
    // Both instances on an engine that shares the file between processes.
    TSharedEngineRoot root;
    if (root.Path().isEmpty())
        GTEST_SKIP() << "no installed Firebird root directory found to derive a shared engine from";
    TTempDatabase db;
    TDriver first(db.Directory(), root.Environment());
    HoldAnUncommittedEdit(first, "VonA");

    TDriver second(db.Directory(), root.Environment());
    ASSERT_TRUE(second.WaitFor("READY")) << second.Lines().join('\n').toStdString();
    EXPECT_EQ(Titles(second.Command("titles")), (QStringList{"Eins", "Zwei"}))
        << "reading does not wait for the uncommitted change";
    ASSERT_TRUE(second.Command("list").contains("ROWS 2"));
    QElapsedTimer timer;
    timer.start();
    const QStringList out = second.Command("edit VonB");
    EXPECT_LT(timer.elapsed(), 5000) << "no waiting for the other instance";
    const QString shown = out.filter("DIALOG ").join('\n');
    EXPECT_TRUE(shown.startsWith("DIALOG Zettelwerk|")) << out.join('\n').toStdString();
    EXPECT_TRUE(shown.contains("update conflicts with concurrent update")) << shown.toStdString();

    // The first commits and is killed: its change stays.
    EXPECT_TRUE(first.Command("commit").contains("COMMITTED"));
    first.Kill();

    second.Command("cancel");
    second.Command("commit");
    EXPECT_EQ(Titles(second.Command("titles")), (QStringList{"VonA", "Zwei"}));
    second.Command("list");
    const QStringList retry = second.Command("edit VonB");
    EXPECT_TRUE(retry.contains("POSTED")) << retry.join('\n').toStdString();
    EXPECT_FALSE(retry.join('\n').contains("DIALOG")) << retry.join('\n').toStdString();
    EXPECT_EQ(second.Quit(), 0);

    EXPECT_EQ(NoteTitles(db.Directory()), (QStringList{"VonB", "Zwei"}));
    const TCheckResult check = ValidateDatabase(db.File());
    EXPECT_EQ(check.exitCode, 0) << check.output.toStdString();
}

TEST(Backup, WhileAnotherProcessHoldsAnUncommittedEditCompletesAndRestoresConsistently) {
    TSharedEngineRoot root;
    if (root.Path().isEmpty())
        GTEST_SKIP() << "no installed Firebird root directory found to derive a shared engine from";
    TTempDatabase db;
    QTemporaryDir backupDir;
    const QString backup = backupDir.path() + "/notizenbackup.gbk";
    TDriver first(db.Directory(), root.Environment());
    HoldAnUncommittedEdit(first, "Offen");

    TDriver second(db.Directory(), root.Environment());
    ASSERT_TRUE(second.WaitFor("READY")) << second.Lines().join('\n').toStdString();
    const QStringList out = second.Command("backup " + backup, 120000);
    EXPECT_TRUE(out.contains("BACKED UP")) << out.join('\n').toStdString();
    EXPECT_EQ(second.Quit(), 0);
    ASSERT_GT(QFileInfo(backup).size(), 0);

    // The holder still works and commits afterwards.
    EXPECT_TRUE(first.Command("commit").contains("COMMITTED"));
    EXPECT_EQ(first.Quit(), 0);
    EXPECT_EQ(NoteTitles(db.Directory()), (QStringList{"Offen", "Zwei"}));

    // The backup holds the committed state of its moment, without the open edit.
    QTemporaryDir restoreDir;
    const QString restored = restoreDir.path() + "/notizen.gdb";
    {
        fb::Service service;
        service.Attach("sysdba", "lanternix");
        RestoreDatabaseFile(service, TCredentials{}, backup, restored);
    }
    const TCheckResult check = ValidateDatabase(restored);
    EXPECT_EQ(check.exitCode, 0) << check.output.toStdString();
    EXPECT_EQ(check.output, "");
    EXPECT_EQ(NoteTitles(restoreDir.path() + "/"), (QStringList{"Eins", "Zwei"}));
    EXPECT_EQ(NoteText(restoreDir.path() + "/", "Eins"), "Text Eins");
}

TEST(Backup, FromAnotherProcessOfTheDeliveredEngineFailsClearlyOrCompletes) {
    // This process's engine against a file that another process holds with an open edit.
    TTempDatabase db;
    TDriver first(db.Directory());
    HoldAnUncommittedEdit(first, "Offen");
    QTemporaryDir backupDir;
    const QString backup = backupDir.path() + "/notizenbackup.gbk";
    QElapsedTimer timer;
    timer.start();
    std::string error;
    try {
        fb::Service service;
        service.Attach("sysdba", "lanternix");
        BackupDatabaseFile(service, TCredentials{}, db.File(), backup);
    } catch (const std::exception& e) {
        error = e.what();
    }
    EXPECT_LT(timer.elapsed(), 30000);
    if (!error.empty()) {
        EXPECT_FALSE(QFileInfo::exists(backup)) << "a failed backup leaves no file";
        EXPECT_FALSE(QFileInfo::exists(BackupTempFile(backup)));
    } else {
        EXPECT_GT(QFileInfo(backup).size(), 0);
    }
    std::printf("backup from a second process: %s\n", error.empty() ? "completed" : error.c_str());
    EXPECT_EQ(Titles(first.Command("titles")), (QStringList{"Offen", "Zwei"}));
    first.Command("commit");
    EXPECT_EQ(first.Quit(), 0);
    EXPECT_EQ(NoteTitles(db.Directory()), (QStringList{"Offen", "Zwei"}));
}
