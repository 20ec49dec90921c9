// The program killed at awkward moments, on its own copy of the database each time.
#include "faults/FaultSupport.h"

TEST(Killed, RightAfterASaveLosesNothing) {
    TTempDatabase db;
    TDriver driver(db.Directory());
    ASSERT_TRUE(driver.WaitFor("READY")) << driver.Lines().join('\n').toStdString();
    const QStringList out = driver.Command("save Erste");
    ASSERT_TRUE(out.contains("SAVED")) << out.join('\n').toStdString();
    ASSERT_FALSE(out.join('\n').contains("DIALOG")) << out.join('\n').toStdString();
    driver.Kill();
    ASSERT_EQ(driver.Process().exitStatus(), QProcess::CrashExit);

    EXPECT_EQ(NoteTitles(db.Directory()), QStringList{"Erste"});
    EXPECT_EQ(NoteText(db.Directory(), "Erste"), "Text Erste");
    const TCheckResult check = ValidateDatabase(db.File());
    EXPECT_EQ(check.exitCode, 0) << check.output.toStdString();
    EXPECT_EQ(check.output, "");
}

TEST(Killed, RightAfterASavedListEditKeepsTheEdit) {
    TTempDatabase db;
    TDriver driver(db.Directory());
    ASSERT_TRUE(driver.WaitFor("READY")) << driver.Lines().join('\n').toStdString();
    driver.Command("save Alpha");
    driver.Command("save Beta");
    ASSERT_TRUE(driver.Command("list").contains("ROWS 2"));
    const QStringList out = driver.Command("edit Geaendert"); // saved in the list: durable
    ASSERT_TRUE(out.contains("POSTED")) << out.join('\n').toStdString();
    ASSERT_FALSE(out.join('\n').contains("DIALOG")) << out.join('\n').toStdString();
    driver.Kill();

    const TCheckResult check = ValidateDatabase(db.File());
    EXPECT_EQ(check.exitCode, 0) << check.output.toStdString();
    EXPECT_EQ(check.output, "");
    EXPECT_EQ(NoteTitles(db.Directory()), (QStringList{"Beta", "Geaendert"}));
    EXPECT_EQ(NoteText(db.Directory(), "Geaendert"), "Text Alpha");
}

TEST(Killed, DuringAnUnsavedListEditKeepsTheCommittedNotesOnly) {
    TTempDatabase db;
    TDriver driver(db.Directory());
    ASSERT_TRUE(driver.WaitFor("READY")) << driver.Lines().join('\n').toStdString();
    driver.Command("save Alpha");
    driver.Command("save Beta");
    ASSERT_TRUE(driver.Command("list").contains("ROWS 2"));
    const QStringList out = driver.Command("type Geaendert"); // typed, not saved
    ASSERT_TRUE(out.contains("TYPED")) << out.join('\n').toStdString();
    ASSERT_FALSE(out.join('\n').contains("DIALOG")) << out.join('\n').toStdString();
    driver.Kill();

    const TCheckResult check = ValidateDatabase(db.File());
    EXPECT_EQ(check.exitCode, 0) << check.output.toStdString();
    EXPECT_EQ(check.output, "");
    EXPECT_EQ(NoteTitles(db.Directory()), (QStringList{"Alpha", "Beta"}));
    EXPECT_EQ(NoteText(db.Directory(), "Alpha"), "Text Alpha");

    // The next start goes on where the committed state left off.
    TDriver again(db.Directory());
    ASSERT_TRUE(again.WaitFor("READY"));
    again.Command("save Gamma");
    EXPECT_EQ(again.Quit(), 0);
    EXPECT_EQ(NoteTitles(db.Directory()), (QStringList{"Alpha", "Beta", "Gamma"}));
}

TEST(Killed, AnUnsavedEditEndsWithTheProgramAndTheSavedOneIsKept) {
    // The ordinary end for comparison: a saved list edit is committed at the end.
    TTempDatabase db;
    TDriver driver(db.Directory());
    ASSERT_TRUE(driver.WaitFor("READY"));
    driver.Command("save Alpha");
    driver.Command("list");
    driver.Command("edit Omega");
    EXPECT_EQ(driver.Quit(), 0);
    EXPECT_EQ(NoteTitles(db.Directory()), QStringList{"Omega"});
}
