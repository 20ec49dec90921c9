// INI reading rules and hostile input.
#include "update/IniFile.h"

#include "UpdateTestSupport.h"

#include <QRandomGenerator>
#include <QTemporaryDir>

using updtest::WriteFile;

TEST(IniFile, SectionsAndKeysIgnoreCaseAndValuesAreTrimmed) {
    const TIniFile ini = TIniFile::FromBytes("[Update]\r\n  NewVersion =  1.2.3  \r\n"
                                             "[FILES]\ncount=2\n\n[file1]\nurl=http://x/a.cab\t\n");
    EXPECT_EQ(ini.ReadString("update", "newversion", "d"), "1.2.3");
    EXPECT_EQ(ini.ReadString("UPDATE", "NEWVERSION", "d"), "1.2.3");
    EXPECT_EQ(ini.ReadInteger("files", "Count", 0), 2);
    EXPECT_EQ(ini.ReadString("File1", "URL", ""), "http://x/a.cab");
    EXPECT_EQ(ini.ReadString("update", "missing", "def"), "def");
    EXPECT_EQ(ini.ReadString("nosection", "url", "def"), "def");
    EXPECT_TRUE(ini.SectionExists("files"));
    EXPECT_FALSE(ini.SectionExists("file2"));
}

TEST(IniFile, FirstSectionAndKeyWinAndEmptyValueIsNotDefault) {
    const TIniFile ini = TIniFile::FromBytes("key=outside\n[a]\nk=1\nk=2\nempty=\n[A]\nk=3\nother=4\n");
    EXPECT_EQ(ini.ReadString("a", "k", ""), "1");
    EXPECT_EQ(ini.ReadString("a", "other", ""), "4"); // a repeated section adds its keys
    EXPECT_EQ(ini.ReadString("a", "empty", "def"), "");
    EXPECT_EQ(ini.ReadString("", "key", "def"), "def"); // lines before any section belong to none
}

TEST(IniFile, ValueIsCutAt2047Characters) {
    const QByteArray longValue(5000, 'v');
    const TIniFile ini = TIniFile::FromBytes("[s]\nk=" + longValue + "\nn=2\n");
    EXPECT_EQ(ini.ReadString("s", "k", "").size(), 2047);
    EXPECT_EQ(ini.ReadInteger("s", "n", 0), 2);
}

TEST(IniFile, IntegersAndFlags) {
    const TIniFile ini =
        TIniFile::FromBytes("[s]\ndec=42\nneg=-7\nhex=0x1F\nHEX=0X10\ndollar=$ff\nall=$FFFFFFFF\n"
                            "text=12abc\nempty=\nbig=2147483648\nmax=2147483647\n"
                            "one=1\ntwo=2\nhexone=$1\n");
    struct {
        const char* key;
        qint32 expected;
    } cases[] = {{"dec", 42},   {"neg", -7},    {"hex", 31},  {"dollar", 255},    {"all", -1},
                 {"text", -99}, {"empty", -99}, {"big", -99}, {"max", INT32_MAX}, {"none", -99}};
    for (const auto& c : cases)
        EXPECT_EQ(ini.ReadInteger("s", c.key, -99), c.expected) << c.key;
    EXPECT_TRUE(ini.ReadFlag("s", "one"));
    EXPECT_TRUE(ini.ReadFlag("s", "hexone"));
    EXPECT_FALSE(ini.ReadFlag("s", "two")); // set only when exactly 1
    EXPECT_FALSE(ini.ReadFlag("s", "none"));
}

TEST(IniFile, LineEndingsAndEncodings) {
    const TIniFile cr = TIniFile::FromBytes("[s]\rk=1\rj=2");
    EXPECT_EQ(cr.ReadInteger("s", "j", 0), 2);
    const TIniFile bom = TIniFile::FromBytes("\xEF\xBB\xBF[s]\nk=Gr\xC3\xBC\xC3\x9F"
                                             "e\n");
    EXPECT_EQ(bom.ReadString("s", "k", ""), QString::fromUtf8("Grüße"));
    const TIniFile latin = TIniFile::FromBytes("[s]\nk=Gr\xFC\xDF"
                                               "e\n");
    EXPECT_EQ(latin.ReadString("s", "k", ""), QString::fromUtf8("Grüße"));
}

TEST(IniFile, MissingFileReadsAsEmpty) {
    TIniFile ini;
    EXPECT_FALSE(ini.Load("/nonexistent/zettelwerk.inf"));
    EXPECT_EQ(ini.ReadInteger("files", "count", 0), 0);
    EXPECT_TRUE(ini.Sections().isEmpty());
}

TEST(IniFile, BinaryGarbageNeverCrashes) {
    QRandomGenerator rng(12345);
    for (int round = 0; round < 200; ++round) {
        QByteArray bytes(int(rng.bounded(4096)), '\0');
        for (char& c : bytes)
            c = char(rng.bounded(256));
        if (round % 3 == 0)
            bytes.prepend("[update]\nnewversion=");
        const TIniFile ini = TIniFile::FromBytes(bytes);
        (void)ini.ReadString("update", "newversion", "");
        (void)ini.ReadInteger("files", "count", 0);
    }
}

TEST(IniFile, HundredMegabyteLineIsReadWithBoundedValue) {
    QTemporaryDir dir;
    const QString path = dir.filePath("big.inf");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[update]\ndescr=");
        const QByteArray chunk(1 << 20, 'z');
        for (int i = 0; i < 100; ++i)
            f.write(chunk);
        f.write("\nnewversion=2.0\n[files]\ncount=1\n");
    }
    TIniFile ini;
    ASSERT_TRUE(ini.Load(path));
    EXPECT_EQ(ini.ReadString("update", "descr", "").size(), TIniFile::MaxValueLength);
    EXPECT_EQ(ini.ReadString("update", "newversion", ""), "2.0");
    EXPECT_EQ(ini.ReadInteger("files", "count", 0), 1);
}
