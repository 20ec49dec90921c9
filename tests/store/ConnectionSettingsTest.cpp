// Which database the program opens: the settings file's lines, the permission rule, the
// precedence of ZETTELWERK_DATABASE, and the file written when there is none.
#include "store/ConnectionSettings.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/stat.h>

TEST(SettingsFile, KeysCommentsAndBlanks) {
    const TSettingsFile f = ParseSettingsFile("# Kommentar\n"
                                              "; auch einer\n"
                                              "\n"
                                              "  database = notizserver/3051:/srv/notizen.gdb  \r\n"
                                              "User=zettel\n"
                                              "password= geh=eim \n",
                                              "/h/zettelwerk.conf");
    EXPECT_TRUE(f.errors.isEmpty()) << f.errors.join('\n').toStdString();
    EXPECT_EQ(f.database, "notizserver/3051:/srv/notizen.gdb");
    EXPECT_EQ(f.user, QString("zettel"));
    EXPECT_EQ(f.password, QString("geh=eim")) << "everything after the first '=' is the value";

    const TSettingsFile empty = ParseSettingsFile(SettingsFileTemplate(), "x");
    EXPECT_TRUE(empty.errors.isEmpty()) << "the written template reads without errors";
    EXPECT_TRUE(empty.database.isEmpty()) << "and leaves the embedded file in use";
    EXPECT_FALSE(empty.password.has_value());

    const TSettingsFile typo = ParseSettingsFile("databse=srv:/n.gdb\nnur Text\n", "/h/zettelwerk.conf");
    ASSERT_EQ(typo.errors.size(), 2);
    EXPECT_TRUE(typo.errors[0].contains("Zeile 1 der Einstellungsdatei /h/zettelwerk.conf"))
        << typo.errors[0].toStdString();
    EXPECT_TRUE(typo.errors[1].contains("„nur Text“"));
}

TEST(SettingsFile, APasswordOthersCanReadIsRefused) {
    TSettingsFileFacts f;
    f.exists = true;
    f.owner = f.user = 1000;
    f.mode = 0600;
    EXPECT_EQ(SettingsFileRefusal(f, "/h/z.conf", true), "");
    f.mode = 0644;
    EXPECT_EQ(SettingsFileRefusal(f, "/h/z.conf", false), "") << "no password: nothing to hide";
    const QString refused = SettingsFileRefusal(f, "/h/z.conf", true);
    EXPECT_TRUE(refused.contains("Kennwort")) << refused.toStdString();
    EXPECT_TRUE(refused.contains("0644"));
    EXPECT_TRUE(refused.contains("chmod 600 /h/z.conf"));
    f.mode = 0640;
    EXPECT_FALSE(SettingsFileRefusal(f, "/h/z.conf", true).isEmpty()) << "the group counts as others";
    f.mode = 0602;
    EXPECT_TRUE(SettingsFileRefusal(f, "/h/z.conf", false).contains("geändert"))
        << "others could redirect the notes";
    f.mode = 0600;
    f.owner = 0;
    EXPECT_TRUE(SettingsFileRefusal(f, "/h/z.conf", true).contains("gehört nicht Ihnen"));
    f.exists = false;
    EXPECT_EQ(SettingsFileRefusal(f, "/h/z.conf", true), "");
}

TEST(SettingsFile, ChoiceOfTheDatabase) {
    // Nothing configured: the embedded file with the delivered account, whatever user= says.
    TSettingsFile accountOnly;
    accountOnly.user = "anna";
    accountOnly.password = "x";
    TConnectionChoice c = ChooseConnection("", accountOnly, {});
    EXPECT_EQ(c.source, TConnectionSource::Embedded);
    EXPECT_TRUE(c.database.isEmpty());
    EXPECT_EQ(c.credentials.user, "sysdba");
    EXPECT_EQ(c.credentials.password, "lanternix");
    EXPECT_EQ(ChooseConnection("", std::nullopt, {}).source, TConnectionSource::Embedded);

    TSettingsFile file;
    file.database = "srv:/a.gdb";
    file.password = "geheim";
    c = ChooseConnection("", file, {});
    EXPECT_EQ(c.source, TConnectionSource::SettingsFile);
    EXPECT_EQ(c.database, "srv:/a.gdb");
    EXPECT_EQ(c.credentials.user, "sysdba");
    EXPECT_EQ(c.credentials.password, "geheim");

    // The variable wins for one run and takes the file's account.
    c = ChooseConnection(" other/3051:/b.gdb ", file, {});
    EXPECT_EQ(c.source, TConnectionSource::Environment);
    EXPECT_EQ(c.database, "other/3051:/b.gdb");
    EXPECT_EQ(c.credentials.password, "geheim");
    EXPECT_EQ(ChooseConnection("/tmp/x.gdb", std::nullopt, {}).credentials.password, "lanternix");

    // A refused or unreadable file stops the start, also when the variable names the database.
    EXPECT_EQ(ChooseConnection("srv:/b.gdb", file, "abgelehnt").error, "abgelehnt");
    TSettingsFile broken = ParseSettingsFile("datenbank=x\n", "f");
    EXPECT_FALSE(ChooseConnection("srv:/b.gdb", broken, {}).error.isEmpty());

    EXPECT_TRUE(IsServerConnection("srv:/a.gdb"));
    EXPECT_TRUE(IsServerConnection("127.0.0.1/3051:notizen"));
    EXPECT_FALSE(IsServerConnection("/home/a/notizen.gdb"));
}

TEST(SettingsFile, PathAndTheFileWrittenWhenThereIsNone) {
    EXPECT_EQ(SettingsFilePath("/x/cfg", "/home/a"), "/x/cfg/zettelwerk/zettelwerk.conf");
    EXPECT_EQ(SettingsFilePath("", "/home/a"), "/home/a/.config/zettelwerk/zettelwerk.conf");
    EXPECT_EQ(SettingsFilePath("rel", "/home/a"), "/home/a/.config/zettelwerk/zettelwerk.conf");

    QTemporaryDir dir;
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    const QByteArray oldDatabase = qgetenv("ZETTELWERK_DATABASE");
    qputenv("XDG_CONFIG_HOME", dir.path().toUtf8());
    qunsetenv("ZETTELWERK_DATABASE");
    const QString path = dir.path() + "/zettelwerk/zettelwerk.conf";

    TConnectionChoice c = LoadConnectionSettings();
    EXPECT_EQ(c.source, TConnectionSource::Embedded);
    ASSERT_TRUE(QFileInfo::exists(path));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(QFile::encodeName(dir.path() + "/zettelwerk").constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    // The user fills it in; a password readable by others stops the start.
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::Append));
    f.write("database=srv/3051:/n.gdb\npassword=geheim\n");
    f.close();
    c = LoadConnectionSettings();
    EXPECT_EQ(c.source, TConnectionSource::SettingsFile);
    EXPECT_EQ(c.credentials.password, "geheim");
    ::chmod(QFile::encodeName(path).constData(), 0644);
    c = LoadConnectionSettings();
    EXPECT_TRUE(c.error.contains("Kennwort")) << c.error.toStdString();
    qputenv("ZETTELWERK_DATABASE", "andere:/n.gdb");
    EXPECT_FALSE(LoadConnectionSettings().error.isEmpty());
    ::chmod(QFile::encodeName(path).constData(), 0600);
    c = LoadConnectionSettings();
    EXPECT_EQ(c.database, "andere:/n.gdb");

    // An existing file is never rewritten.
    QFile again(path);
    ASSERT_TRUE(again.open(QIODevice::ReadOnly));
    EXPECT_TRUE(again.readAll().contains("password=geheim"));

    if (oldConfig.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", oldConfig);
    if (oldDatabase.isNull())
        qunsetenv("ZETTELWERK_DATABASE");
    else
        qputenv("ZETTELWERK_DATABASE", oldDatabase);
}
