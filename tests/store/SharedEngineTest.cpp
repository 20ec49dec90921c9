// Another process works on the database while this one holds its connection.
#include "StoreTestSupport.h"
#include "store/fb/EngineRoot.h"
#include "store/fb/FbApi.h"

#include <QProcess>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

TEST_F(StoreFixture, AnotherProcessSharesTheOpenDatabase) {
    AddNote("Von hier", "Text");
    ASSERT_TRUE(dm->Database.Connected());
    ASSERT_NE(std::getenv("FIREBIRD"), nullptr) << "the engine root was not prepared";
    ASSERT_NE(std::getenv("FIREBIRD_LOCK"), nullptr) << "the lock directory was not prepared";

    // A second process (isql inherits this process's engine root and lock directory) reads and
    // writes meanwhile.
    QProcess isql;
    isql.start("isql-fb", {"-q", db.File(), "-user", "sysdba", "-password", "lanternix"});
    ASSERT_TRUE(isql.waitForStarted());
    isql.write("insert into tblnotizen (id, titel) values (gen_id(GEN_TBLNOTIZEN_ID, 1), 'Von dort');\n"
               "commit;\nselect count(*) from tblnotizen;\nquit;\n");
    isql.closeWriteChannel();
    ASSERT_TRUE(isql.waitForFinished(30000));
    const QString out = QString::fromUtf8(isql.readAllStandardOutput() + isql.readAllStandardError());
    EXPECT_EQ(isql.exitCode(), 0) << out.toStdString();
    EXPECT_FALSE(out.contains("Statement failed")) << out.toStdString();

    EXPECT_EQ(Scalar(*dm, "select count(*) as n from tblnotizen", "N"), "2");
}

TEST(EngineRoot, LiesBelowTheUsersCacheDirectory) {
    EXPECT_EQ(fb::SharedEngineRootPath("/home/anna/.cache"), "/home/anna/.cache/zettelwerk/firebird");
}

TEST(EngineState, TheAccountsOwnDirectoriesComeFirstAndRelativeValuesAreIgnored) {
    using V = std::vector<std::string>;
    fb::TEngineStateFacts desktop{"/run/user/1000", "/run/user/1000", "", "/home/anna", "/home/anna"};
    EXPECT_EQ(fb::EngineStateCandidates(desktop),
              (V{"/run/user/1000/zettelwerk", "/home/anna/.cache/zettelwerk"}));

    // A terminal without a session: the standard runtime directory still joins the desktop's.
    fb::TEngineStateFacts su{"", "/run/user/1000", "", "/home/anna", "/home/anna"};
    EXPECT_EQ(fb::EngineStateCandidates(su).front(), "/run/user/1000/zettelwerk");

    // No runtime directory at all: the account's cache before a changed HOME.
    fb::TEngineStateFacts bare{"", "", "", "/home/anna", "/tmp/other-home"};
    EXPECT_EQ(fb::EngineStateCandidates(bare),
              (V{"/home/anna/.cache/zettelwerk", "/tmp/other-home/.cache/zettelwerk"}));

    fb::TEngineStateFacts odd{"run", "", "cache/", "/srv/anna/", ""};
    EXPECT_EQ(fb::EngineStateCandidates(odd), (V{"/srv/anna/.cache/zettelwerk"}));
    fb::TEngineStateFacts cache{"", "", "/var/cache/anna", "/home/anna", ""};
    EXPECT_EQ(fb::EngineStateCandidates(cache).front(), "/var/cache/anna/zettelwerk");
}

TEST(EngineState, ThisProcessKeepsLocksAndTemporaryFilesInADirectoryOfItsOwn) {
    (void)fb::Client(); // prepares the directories before loading the library
    const char* lock = std::getenv("FIREBIRD_LOCK");
    const char* temp = std::getenv("FIREBIRD_TMP");
    ASSERT_TRUE(lock && temp);
    for (const char* dir : {lock, temp}) {
        struct stat st {};
        ASSERT_EQ(lstat(dir, &st), 0) << dir;
        EXPECT_TRUE(S_ISDIR(st.st_mode)) << dir;
        EXPECT_EQ(st.st_uid, getuid()) << dir;
        EXPECT_EQ(st.st_mode & 077, 0u) << dir << " is open to others";
        EXPECT_FALSE(std::string(dir).starts_with("/tmp/firebird")) << dir;
    }
}
