#include "app/ProgramDirectory.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct ChoiceCase {
    const char* name;
    bool exeWritable, shared, data;
    TProgramDirectoryChoice expected;
};

const QString kExe = "/opt/zw/bin/";
const QString kData = "/home/u/.local/share/zettelwerk/";

} // namespace

TEST(ProgramDirectoryRule, ChoosesByTheFacts) {
    const ChoiceCase cases[] = {
        // Build tree or portable copy: the executable's directory, whatever else exists.
        {"portable", true, false, false, {kExe, false}},
        {"portable beside an install", true, true, true, {kExe, false}},
        // Not installed and no database: stays beside the executable, so the missing file is reported.
        {"nothing anywhere", false, false, false, {kExe, false}},
        {"no shared copy but user data", false, false, true, {kExe, false}},
        // Installed: the user's data directory, filled once.
        {"first start", false, true, false, {kData, true}},
        {"later start", false, true, true, {kData, false}},
    };
    for (const auto& c : cases) {
        TProgramDirectoryFacts facts;
        facts.exeDirectory = kExe;
        facts.dataDirectory = kData;
        facts.exeDatabaseWritable = c.exeWritable;
        facts.sharedDatabaseExists = c.shared;
        facts.dataDatabaseExists = c.data;
        const auto got = ChooseProgramDirectory(facts);
        EXPECT_EQ(got.directory, c.expected.directory) << c.name;
        EXPECT_EQ(got.copyDatabase, c.expected.copyDatabase) << c.name;
    }
}

TEST(ProgramDirectoryRule, DataAndSharedDirectories) {
    EXPECT_EQ(UserDataDirectory("/x/data", "/home/u"), "/x/data/zettelwerk/");
    EXPECT_EQ(UserDataDirectory("/x/data/", "/home/u"), "/x/data/zettelwerk/");
    // Empty or relative values are ignored, as the base directory rules say.
    EXPECT_EQ(UserDataDirectory("", "/home/u"), "/home/u/.local/share/zettelwerk/");
    EXPECT_EQ(UserDataDirectory("data", "/home/u"), "/home/u/.local/share/zettelwerk/");
    EXPECT_EQ(SharedDataDirectory("/usr/bin"), "/usr/share/zettelwerk/");
    EXPECT_EQ(SharedDataDirectory("/usr/local/bin/"), "/usr/local/share/zettelwerk/");
}

// A prefix in a temporary directory: <tmp>/prefix/bin, <tmp>/prefix/share/zettelwerk.
class ProgramDirectoryFiles : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        bin = tmp.filePath("prefix/bin") + "/";
        share = tmp.filePath("prefix/share/zettelwerk") + "/";
        data = tmp.filePath("data/zettelwerk") + "/";
        ASSERT_TRUE(QDir().mkpath(bin));
        ASSERT_TRUE(QDir().mkpath(share));
        Write(share + "notizen.gdb", "delivered");
    }
    static void Write(const QString& file, const QByteArray& bytes) {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    static QByteArray Read(const QString& file) {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QStringList DataEntries() const {
        return QDir(data).entryList(QDir::Files | QDir::Hidden | QDir::System);
    }

    QTemporaryDir tmp;
    QString bin, share, data;
};

TEST_F(ProgramDirectoryFiles, FactsOfAnInstalledLayout) {
    auto facts = GatherProgramDirectoryFacts(tmp.filePath("prefix/bin"), data);
    EXPECT_EQ(facts.exeDirectory, bin);
    EXPECT_FALSE(facts.exeDatabaseWritable);
    EXPECT_TRUE(facts.sharedDatabaseExists);
    EXPECT_FALSE(facts.dataDatabaseExists);

    Write(bin + "notizen.gdb", "portable");
    ASSERT_TRUE(QDir().mkpath(data));
    Write(data + "notizen.gdb", "mine");
    facts = GatherProgramDirectoryFacts(bin, data);
    EXPECT_TRUE(facts.exeDatabaseWritable);
    EXPECT_TRUE(facts.dataDatabaseExists);
}

TEST_F(ProgramDirectoryFiles, CopyCreatesTheDirectoryAndLeavesNoTemporaryFile) {
    QString error;
    ASSERT_TRUE(InstallDatabaseCopy(share + "notizen.gdb", data, &error)) << error.toStdString();
    EXPECT_EQ(Read(data + "notizen.gdb"), "delivered");
    EXPECT_EQ(DataEntries(), QStringList{"notizen.gdb"});
    // The user's notes are private and must be writable for the user.
    EXPECT_EQ(QFile::permissions(data + "notizen.gdb") & (QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                          QFileDevice::ReadOther | QFileDevice::WriteOther),
              QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

TEST_F(ProgramDirectoryFiles, CopyNeverReplacesAnExistingDatabase) {
    ASSERT_TRUE(QDir().mkpath(data));
    Write(data + "notizen.gdb", "my notes");
    QString error;
    EXPECT_TRUE(InstallDatabaseCopy(share + "notizen.gdb", data, &error));
    EXPECT_TRUE(error.isEmpty());
    EXPECT_EQ(Read(data + "notizen.gdb"), "my notes");
    EXPECT_EQ(DataEntries(), QStringList{"notizen.gdb"});

    // A dangling link is not replaced either.
    ASSERT_TRUE(QFile::remove(data + "notizen.gdb"));
    ASSERT_TRUE(QFile::link(tmp.filePath("elsewhere.gdb"), data + "notizen.gdb"));
    EXPECT_TRUE(InstallDatabaseCopy(share + "notizen.gdb", data, &error));
    EXPECT_TRUE(QFileInfo(data + "notizen.gdb").isSymLink());
    EXPECT_FALSE(QFile::exists(tmp.filePath("elsewhere.gdb")));
}

TEST_F(ProgramDirectoryFiles, FailedCopiesAreReported) {
    QString error;
    EXPECT_FALSE(InstallDatabaseCopy(share + "fehlt.gdb", data, &error));
    EXPECT_TRUE(error.contains("fehlt.gdb")) << error.toStdString();
    EXPECT_TRUE(DataEntries().isEmpty()) << DataEntries().join(' ').toStdString();

    // The data directory cannot be made below a plain file.
    Write(tmp.filePath("datei"), "x");
    error.clear();
    EXPECT_FALSE(InstallDatabaseCopy(share + "notizen.gdb", tmp.filePath("datei/zettelwerk"), &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST_F(ProgramDirectoryFiles, PrepareCopiesOnceAndKeepsTheUsersFile) {
    const QByteArray oldXdg = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", tmp.filePath("data").toLocal8Bit());
    // The notes, backups and drafts lie there: no other account may look in, not even once it
    // was opened by an earlier version (0755, as a Debian home gives it).
    const auto closed = [this] { return QFile::permissions(data) & 0x0FFF; };
    const QFileDevice::Permissions owner = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                           QFileDevice::ExeOwner | QFileDevice::ReadUser |
                                           QFileDevice::WriteUser | QFileDevice::ExeUser;
    QString error;
    EXPECT_EQ(PrepareProgramDirectory(bin, &error), data);
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    EXPECT_EQ(Read(data + "notizen.gdb"), "delivered");
    EXPECT_EQ(closed(), owner & 0x0FFF);

    Write(data + "notizen.gdb", "my notes");
    Write(share + "notizen.gdb", "newer delivery");
    ASSERT_TRUE(QFile::setPermissions(data, owner | QFileDevice::ReadOther | QFileDevice::ExeOther));
    EXPECT_EQ(PrepareProgramDirectory(bin, &error), data);
    EXPECT_EQ(Read(data + "notizen.gdb"), "my notes");
    EXPECT_EQ(closed(), owner & 0x0FFF);

    // A writable database beside the executable wins: nothing is copied for it. The data
    // directory is closed all the same.
    Write(bin + "notizen.gdb", "portable");
    ASSERT_TRUE(QFile::setPermissions(data, owner | QFileDevice::ReadOther | QFileDevice::ExeOther));
    EXPECT_EQ(PrepareProgramDirectory(bin, &error), bin);
    EXPECT_EQ(closed(), owner & 0x0FFF);
    qputenv("XDG_DATA_HOME", oldXdg);
    if (oldXdg.isNull())
        qunsetenv("XDG_DATA_HOME");
}

TEST_F(ProgramDirectoryFiles, HelpFileBesideTheProgramFirstThenShared) {
    EXPECT_EQ(FindHelpFile(bin), bin + "zettelwerk.chm") << "neither: named beside the program";
    Write(share + "zettelwerk.chm", "shared");
    EXPECT_EQ(FindHelpFile(tmp.filePath("prefix/bin")), share + "zettelwerk.chm");
    Write(bin + "zettelwerk.chm", "beside");
    EXPECT_EQ(FindHelpFile(bin), bin + "zettelwerk.chm");
}
