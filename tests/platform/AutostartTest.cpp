// The autostart list: Exec quoting rules and the XDG desktop files in a temporary config home.
#include "platform/Autostart.h"

#include "platform/DesktopEntry.h"
#include "platform/linux/XdgAutostart.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

TEST(DesktopExec, QuotingRoundTrips) {
    EXPECT_EQ(DesktopExecValue("/opt/zw/zettelwerk"), "/opt/zw/zettelwerk");
    EXPECT_EQ(DesktopExecValue("/home/a b/zettelwerk"), "\"/home/a b/zettelwerk\"");
    EXPECT_EQ(DesktopExecValue("/x/100%/z"), "/x/100%%/z");
    // A backslash is escaped for the quotes and again for the file format.
    EXPECT_EQ(DesktopExecValue("/a\\b"), "\"/a\\\\\\\\b\"");
    EXPECT_EQ(DesktopExecValue("/a\"$`b"), "\"/a\\\\\"\\\\$\\\\`b\"");

    for (const QString path : {"/opt/zw/zettelwerk", "/home/a b/zettel werk", "/x/100%/z", "/a\\b c",
                               "/q\"uote/$HOME/`cmd`", "/new\nline/tab\there", "/ü/ß ä/notiz#1(2)", "/x/%f"})
        EXPECT_EQ(DesktopExecProgram(DesktopExecValue(path)), path) << path.toStdString();

    EXPECT_EQ(DesktopExecProgram("/usr/bin/prog --flag %U"), "/usr/bin/prog");
    EXPECT_EQ(DesktopExecProgram("  \"/a b/c\" arg"), "/a b/c");
}

TEST(DesktopExec, EntryText) {
    const QString text = AutostartDesktopFile("Zettelwerk", "/home/a b/zettelwerk");
    EXPECT_TRUE(text.startsWith("[Desktop Entry]\n"));
    EXPECT_EQ(DesktopEntryValue(text, "Type"), "Application");
    EXPECT_EQ(DesktopEntryValue(text, "Name"), "Zettelwerk");
    EXPECT_EQ(DesktopEntryValue(text, "Exec"), "\"/home/a b/zettelwerk\"");
    // Keys of other groups and comments do not count.
    EXPECT_EQ(DesktopEntryValue("[Other]\nExec=/x\n[Desktop Entry]\n# Exec=/y\nExec = /z\r\n", "Exec"), "/z");
    EXPECT_EQ(DesktopEntryValue("Exec=/x\n", "Exec"), "");
}

class XdgAutostartTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        saved = qgetenv("XDG_CONFIG_HOME");
        hadValue = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()));
    }
    void TearDown() override {
        if (hadValue)
            qputenv("XDG_CONFIG_HOME", saved);
        else
            qunsetenv("XDG_CONFIG_HOME");
    }
    QString Folder() const { return home.path() + "/autostart"; }
    QString Entry() const { return Folder() + "/Zettelwerk.desktop"; }
    static QByteArray Content(const QString& file) {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static void Put(const QString& file, const QByteArray& data) {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(data);
    }

    QTemporaryDir home;
    QByteArray saved;
    bool hadValue = false;
    TAutostart& a = SystemAutostart();
};

TEST_F(XdgAutostartTest, FolderFollowsTheEnvironment) {
    EXPECT_EQ(XdgAutostartFolder(), Folder());
    EXPECT_EQ(XdgAutostartFile("Zettelwerk"), Entry());
    qputenv("XDG_CONFIG_HOME", "relative/path");
    EXPECT_EQ(XdgAutostartFolder(), QDir::homePath() + "/.config/autostart");
    qunsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(XdgAutostartFolder(), QDir::homePath() + "/.config/autostart");
}

TEST_F(XdgAutostartTest, WriteReadRemove) {
    EXPECT_FALSE(a.CanWrite()); // no folder yet
    EXPECT_FALSE(a.Exists("Zettelwerk"));
    EXPECT_EQ(a.Read("Zettelwerk"), "");

    ASSERT_TRUE(a.Write("Zettelwerk", "/home/user name/Zettel werk/zettelwerk"));
    EXPECT_TRUE(a.CanWrite());
    EXPECT_TRUE(a.Exists("Zettelwerk"));
    EXPECT_EQ(a.Read("Zettelwerk"), "/home/user name/Zettel werk/zettelwerk");
    EXPECT_TRUE(Content(Entry()).contains("Exec=\"/home/user name/Zettel werk/zettelwerk\"\n"));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(Entry()).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    // Nothing but the entry is left in the folder.
    EXPECT_EQ(QDir(Folder()).entryList(QDir::Files | QDir::Hidden), QStringList{"Zettelwerk.desktop"});

    // Writing again replaces the whole entry.
    ASSERT_TRUE(a.Write("Zettelwerk", "/opt/zw/zettelwerk"));
    EXPECT_EQ(a.Read("Zettelwerk"), "/opt/zw/zettelwerk");

    a.Remove("Zettelwerk");
    EXPECT_FALSE(a.Exists("Zettelwerk"));
    a.Remove("Zettelwerk"); // a missing entry is no error
    EXPECT_TRUE(QDir(Folder()).exists());
}

TEST_F(XdgAutostartTest, RemoveCreatesTheMissingFolder) {
    EXPECT_FALSE(QDir(Folder()).exists());
    a.Remove("Zettelwerk");
    EXPECT_TRUE(QDir(Folder()).exists());
    EXPECT_TRUE(a.CanWrite());
}

TEST_F(XdgAutostartTest, AnyEntryOfThatNameCounts) {
    ASSERT_TRUE(QDir().mkpath(Folder()));
    // Another copy's entry, and an entry that is no desktop file at all.
    Put(Entry(), "[Desktop Entry]\nExec=/elsewhere/zettelwerk\n");
    EXPECT_TRUE(a.Exists("Zettelwerk"));
    EXPECT_EQ(a.Read("Zettelwerk"), "/elsewhere/zettelwerk");
    Put(Entry(), "\x01\x02 garbage");
    EXPECT_TRUE(a.Exists("Zettelwerk"));
    EXPECT_EQ(a.Read("Zettelwerk"), "");
    ASSERT_TRUE(a.Write("Zettelwerk", "/opt/zw/zettelwerk"));
    EXPECT_EQ(a.Read("Zettelwerk"), "/opt/zw/zettelwerk");

    // A dangling link counts; writing replaces the link and leaves its target alone.
    QFile::remove(Entry());
    const QString target = home.path() + "/target.desktop";
    ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(Entry()).constData()), 0);
    EXPECT_TRUE(a.Exists("Zettelwerk"));
    ASSERT_TRUE(a.Write("Zettelwerk", "/opt/zw/zettelwerk"));
    EXPECT_FALSE(QFileInfo(Entry()).isSymLink());
    EXPECT_FALSE(QFileInfo::exists(target));
}

TEST_F(XdgAutostartTest, UnusableFolderShowsAsNotActiveAndCannotBeWritten) {
    // The folder's place is taken by a file.
    Put(Folder(), "not a folder");
    EXPECT_FALSE(a.CanWrite());
    EXPECT_FALSE(a.Exists("Zettelwerk"));
    EXPECT_FALSE(a.Write("Zettelwerk", "/opt/zw/zettelwerk"));
    a.Remove("Zettelwerk");
    EXPECT_EQ(Content(Folder()), "not a folder");

    // An entry that is a directory counts as active but cannot be replaced.
    QFile::remove(Folder());
    ASSERT_TRUE(QDir().mkpath(Entry()));
    EXPECT_TRUE(a.Exists("Zettelwerk"));
    EXPECT_FALSE(a.Write("Zettelwerk", "/opt/zw/zettelwerk"));
    EXPECT_EQ(QDir(Folder()).entryList(QDir::Files | QDir::Hidden), QStringList{});
}

TEST_F(XdgAutostartTest, ReadOnlyFolderShowsAsNotActive) {
    ASSERT_TRUE(a.Write("Zettelwerk", "/opt/zw/zettelwerk"));
    // Reachable by an unprivileged user, the autostart folder itself read-only.
    ::chmod(QFile::encodeName(home.path()).constData(), 0755);
    ::chmod(QFile::encodeName(Folder()).constData(), 0555);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::seteuid(65534), 0); // permissions do not bind root
    }
    const bool canWrite = a.CanWrite();
    const bool exists = a.Exists("Zettelwerk");
    const bool wrote = a.Write("Zettelwerk", "/other/zettelwerk");
    if (root) {
        ASSERT_EQ(::seteuid(0), 0);
    }
    ::chmod(QFile::encodeName(Folder()).constData(), 0755);
    EXPECT_FALSE(canWrite);
    EXPECT_FALSE(exists);
    EXPECT_FALSE(wrote);
    EXPECT_EQ(a.Read("Zettelwerk"), "/opt/zw/zettelwerk");
}
