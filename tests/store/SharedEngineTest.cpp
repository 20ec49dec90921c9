// Another process works on the database while this one holds its connection.
#include "StoreTestSupport.h"
#include "store/fb/EngineRoot.h"

#include <QProcess>
#include <cstdlib>

TEST_F(StoreFixture, AnotherProcessSharesTheOpenDatabase) {
    AddNote("Von hier", "Text");
    ASSERT_TRUE(dm->Database.Connected());
    ASSERT_NE(std::getenv("FIREBIRD"), nullptr) << "the engine root was not prepared";

    // A second process (isql inherits this process's engine root) reads and writes meanwhile.
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
