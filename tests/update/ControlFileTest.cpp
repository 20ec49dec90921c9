// The update decision, the file list and its filtering.
#include "update/ControlFile.h"

#include "UpdateTestSupport.h"
#include "update/UpdateDate.h"

#include <QLocale>

using updtest::MakeVersionedFile;
using updtest::WriteFile;

namespace {

void SetModified(const QString& path, const QDateTime& when) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.setFileTime(when, QFileDevice::FileModificationTime));
}

} // namespace

class ControlFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        rules.Report = [this](int no, const QString& param, int status, int err) {
            reports << QStringLiteral("%1|%2|%3|%4").arg(no).arg(param).arg(status).arg(err);
        };
        rules.ResolvePrefix = [this](const QString& name) -> std::optional<QString> {
            if (name == "APP")
                return dir.path();
            return std::nullopt;
        };
        ASSERT_TRUE(MakeVersionedFile(dir.filePath("zettelwerk"), "1.1.9.9"));
        WriteFile(dir.filePath("data.bin"), "abc");
        SetModified(dir.filePath("data.bin"), QDateTime(QDate(2005, 12, 31), QTime(14, 30)));
    }
    TUpdateConditions Evaluate(const QByteArray& text) {
        reports.clear();
        return EvaluateUpdateConditions(TIniFile::FromBytes(text), rules);
    }
    QTemporaryDir dir;
    TUpdateRules rules;
    QStringList reports;
};

TEST_F(ControlFileTest, NoConditionGivesNoUpdateWithoutReports) {
    const TUpdateConditions c = Evaluate("[update]\ndescr=Release 2\n");
    EXPECT_EQ(c.Result, ucrNoUpdate);
    EXPECT_EQ(c.Description, "Release 2");
    EXPECT_TRUE(reports.isEmpty());
    // A version without localversion decides nothing either.
    EXPECT_EQ(Evaluate("[update]\nnewversion=2.0\n").Result, ucrNoUpdate);
    EXPECT_TRUE(reports.isEmpty());
}

TEST_F(ControlFileTest, DateBased) {
    TUpdateConditions c = Evaluate("[update]\ndate=01/01/2006\nlocalversion={APP}/data.bin\n");
    EXPECT_EQ(c.Result, ucrNewDate);
    EXPECT_EQ(c.UpdateDate, QDateTime(QDate(2006, 1, 1), QTime(0, 0)));
    EXPECT_EQ(c.LocalDate, QDateTime(QDate(2005, 12, 31), QTime(14, 30)));
    const QString shown = QLocale::system().toString(QDate(2006, 1, 1), QLocale::ShortFormat);
    EXPECT_EQ(reports, QStringList({"928||3|0", "929|" + shown + "|5|0"}));

    // Same time as the local file: no new version.
    c = Evaluate("[update]\ndate=31/12/2005\ntime=14:30\nlocalversion={APP}/data.bin\n");
    EXPECT_EQ(c.Result, ucrNoUpdate);
    EXPECT_EQ(reports, QStringList({"928||3|0", "930||4|0"}));

    // A missing local file counts as 1 January 1980.
    c = Evaluate("[update]\ndate=02/01/1980\nlocalversion={APP}/missing\n");
    EXPECT_EQ(c.Result, ucrNewDate);
    EXPECT_EQ(c.LocalDate, DefaultUpdateDate());

    // The last-check date replaces the file's date.
    rules.LastCheckDate = QDateTime(QDate(2007, 1, 1), QTime(0, 0));
    c = Evaluate("[update]\ndate=01/01/2006\nlocalversion={APP}/data.bin\n");
    EXPECT_EQ(c.Result, ucrNoUpdate);
    EXPECT_TRUE(c.RegistryDate);
}

TEST_F(ControlFileTest, DateNotNewThenVersionDecides) {
    SetModified(dir.filePath("zettelwerk"), QDateTime(QDate(2005, 12, 31), QTime(14, 30)));
    const TUpdateConditions d =
        Evaluate("[update]\ndate=31/12/2005\ntime=14:30\nlocalversion={APP}/zettelwerk\nnewversion=1.2\n");
    EXPECT_EQ(d.Result, ucrVersionBased);
    EXPECT_EQ(reports, QStringList({"928||3|0", "930||4|0", "933||3|0", "929|1.2.0.0|5|0"}));
    EXPECT_EQ(d.NewVersion, "1.2.0.0");
    EXPECT_EQ(d.LocalVersion, "1.1.9.9");
}

TEST_F(ControlFileTest, Unconditional) {
    EXPECT_EQ(Evaluate("[update]\nunconditional=yes\nnewversion=1.0\nlocalversion={APP}/zettelwerk\n").Result,
              ucrUnconditional);
    EXPECT_TRUE(reports.isEmpty()); // the version is not looked at any more
}

TEST_F(ControlFileTest, VersionSizeAndChecksumDecisions) {
    TUpdateConditions c = Evaluate("[update]\nnewversion=1.2\nlocalversion={APP}/zettelwerk\n");
    EXPECT_EQ(c.Result, ucrVersionBased);
    c = Evaluate("[update]\nnewversion=1.1.9.9\nlocalversion={APP}/zettelwerk\n");
    EXPECT_EQ(c.Result, ucrNoUpdate);
    EXPECT_EQ(reports, QStringList({"933||3|0", "930||4|0"}));

    c = Evaluate("[update]\nnewsize=4\nlocalversion={APP}/data.bin\n");
    EXPECT_EQ(c.Result, ucrSizeBased);
    EXPECT_EQ(reports, QStringList({"932||3|0", "929||5|0"}));
    EXPECT_EQ(Evaluate("[update]\nnewsize=3\nlocalversion={APP}/data.bin\n").Result, ucrNoUpdate);

    const qint32 sum = -1 + 'a' + 'b' + 'c';
    c = Evaluate("[update]\nnewchecksum=" + QByteArray::number(sum + 1) +
                 "\nnewsize=3\nlocalversion={APP}/data.bin\n");
    EXPECT_EQ(c.Result, ucrChecksumBased);
    EXPECT_EQ(reports, QStringList({"931||3|0", "933||3|0", "929||5|0"}));
    c = Evaluate("[update]\nnewchecksum=$" + QByteArray::number(sum, 16) + "\nlocalversion={APP}/data.bin\n");
    EXPECT_EQ(c.Result, ucrNoUpdate);
}

TEST_F(ControlFileTest, ChecksumOverflowEndsTheEvaluation) {
    WriteFile(dir.filePath("big.bin"), QByteArray(8421505, char(0xFF)));
    EXPECT_THROW(Evaluate("[update]\nnewchecksum=5\nlocalversion={APP}/big.bin\n"), EIntOverflow);
}

TEST_F(ControlFileTest, ReadFileList) {
    TFileList list;
    const TIniFile ini =
        TIniFile::FromBytes("[files]\ncount=2\n"
                            "[file1]\nurl=http://h/u/a.cab\ntargetdir={APP}/sub\ncompressed=1\n"
                            "newversion=1.2\nlocalversion={APP}/zettelwerk\nnewsize=12\nnewchecksum=7\n"
                            "customversion=c\ndate=01/01/2006\ntime=10:00\ndescr=First\n"
                            "filesize=99\nmandatory=1\nhidden=2\n"
                            "[FILE2]\nURL=http://h/{APP}/b.txt\n");
    EXPECT_EQ(ReadFileList(ini, rules, list), 2);
    EXPECT_EQ(reports, QStringList({"943||3|0"}));
    const TFileDescription& a = list[0];
    EXPECT_EQ(a.URL, "http://h/u/a.cab");
    EXPECT_EQ(a.TargetDir, dir.path() + "/sub/");
    EXPECT_TRUE(a.Compressed);
    EXPECT_EQ(a.NewVersion, "1.2");
    EXPECT_EQ(a.LocalVersion, dir.filePath("zettelwerk"));
    EXPECT_EQ(a.NewSize, 12);
    EXPECT_EQ(a.NewCheckSum, 7);
    EXPECT_EQ(a.NewCustomVer, "c");
    EXPECT_EQ(a.NewDate, "01/01/2006");
    EXPECT_EQ(a.NewTime, "10:00");
    EXPECT_EQ(a.Description, "First");
    EXPECT_EQ(a.FileSize, 99);
    EXPECT_TRUE(a.Mandatory);
    EXPECT_FALSE(a.Hidden);
    EXPECT_FALSE(a.Selected);
    const TFileDescription& b = list[1];
    EXPECT_EQ(b.URL, "http://h/" + dir.path() + "/b.txt");
    EXPECT_EQ(b.TargetDir, "");
    EXPECT_EQ(b.NewCheckSum, -1);
    EXPECT_EQ(b.NewSize, 0);
    EXPECT_FALSE(b.Compressed);
}

TEST_F(ControlFileTest, FileListOfHostileCountsStaysBounded) {
    TFileList list;
    list.Items.append(TFileDescription{});
    EXPECT_EQ(ReadFileList(TIniFile::FromBytes("[files]\ncount=-3\n[file1]\nurl=x\n"), rules, list), 0);
    EXPECT_TRUE(reports.isEmpty());
    EXPECT_EQ(list.Count(), 0);
    // A missing section in the middle gives no entry.
    EXPECT_EQ(ReadFileList(TIniFile::FromBytes("[files]\ncount=2147483647\n[file3]\nurl=z\n[file1]\nurl=x\n"),
                           rules, list),
              2);
    EXPECT_EQ(list[0].URL, "x");
    EXPECT_EQ(list[1].URL, "z");
    EXPECT_EQ(ReadFileList(TIniFile::FromBytes("[files]\ncount=junk\n[file1]\nurl=x\n"), rules, list), 0);
}

TEST_F(ControlFileTest, FileListHoldsOneEntryPerSectionPresent) {
    TFileList list;
    // 40 bytes that once asked for a billion entries (out of memory), and 26 bytes that gave 40.
    EXPECT_EQ(ReadFileList(TIniFile::FromBytes("[files]\ncount=999999999\n[file999999999]\n"), rules, list),
              1);
    EXPECT_EQ(ReadFileList(TIniFile::FromBytes("[files]\ncount=40\n[file40]\n"), rules, list), 1);
    // Sections beyond the count, and names the entry is not read under, give none.
    EXPECT_EQ(ReadFileList(TIniFile::FromBytes("[files]\ncount=2\n[file3]\nurl=c\n[file02]\nurl=b\n"
                                               "[file+1]\nurl=a\n[file0]\nurl=o\n[FILE2]\nurl=B\n"),
                           rules, list),
              1);
    EXPECT_EQ(list[0].URL, "B");
}

TEST_F(ControlFileTest, SelectFilesToFetch) {
    SetModified(dir.filePath("zettelwerk"), QDateTime(QDate(2006, 1, 1), QTime(10, 0)));
    TFileList list;
    ReadFileList(TIniFile::FromBytes(
                     "[files]\ncount=6\n"
                     "[file1]\nurl=http://h/1\nlocalversion={APP}/zettelwerk\ndate=01/01/2006\ntime=10:00\n"
                     "[file2]\nurl=http://h/2\nlocalversion={APP}/zettelwerk\ndate=01/01/2006\ntime=10:01\n"
                     "[file3]\nurl=http://h/3\nlocalversion={APP}/gone\ndate=01/01/1970\n"
                     "[file4]\nurl=http://h/4\nlocalversion={APP}/zettelwerk\nnewversion=1.1\n"
                     "[file5]\nurl=http://h/5\n"
                     "[file6]\nurl=http://h/6\nlocalversion={APP}/gone\nnewsize=10\n"),
                 rules, list);
    SelectFilesToFetch(list, rules);
    QStringList urls;
    for (const TFileDescription& d : list.Items)
        urls << d.URL;
    // 1: local file as new as the entry; 4: older version; 6: size rule with a missing file.
    EXPECT_EQ(urls, QStringList({"http://h/2", "http://h/3", "http://h/5"}));
    rules.VersionCheck = vcAlways;
    ReadFileList(TIniFile::FromBytes(
                     "[files]\ncount=1\n[file1]\nurl=http://h/6\nlocalversion={APP}/gone\nnewsize=10\n"),
                 rules, list);
    SelectFilesToFetch(list, rules);
    EXPECT_EQ(list.Count(), 1);
}

TEST_F(ControlFileTest, FileListHandlerRemovesEmptiedLines) {
    TFileList list;
    ReadFileList(
        TIniFile::FromBytes("[files]\ncount=3\n[file1]\ndescr=a\n[file2]\ndescr=b\n[file3]\ndescr=c\n"),
        rules, list);
    QStringList seen;
    SelectFilesToFetch(list, rules, [&](QStringList& lines) {
        seen = lines;
        lines[1].clear();
    });
    EXPECT_EQ(seen, QStringList({"a", "b", "c"}));
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list[1].Description, "c");
}

TEST_F(ControlFileTest, HostileControlFilesEndWithDefaults) {
    const QByteArray inputs[] = {
        QByteArray("\x00\xff\xfe[update\n=\n[]\n==\n[files]\ncount=99999999999\n", 40),
        QByteArray("[update]\ndate=99/99/99999\ntime=99:99\nlocalversion={APP}/data.bin\n"),
        QByteArray("[update]\nnewversion=....,,,,\nlocalversion={APP}/zettelwerk\n"),
        QByteArray("[update]\nnewsize=-5\nnewchecksum=-1\nlocalversion={{{{}}}}\n"),
    };
    for (const QByteArray& in : inputs) {
        const TUpdateConditions c = Evaluate(in);
        EXPECT_TRUE(c.Result == ucrNoUpdate || c.Result == ucrNewDate || c.Result == ucrVersionBased);
        TFileList list;
        ReadFileList(TIniFile::FromBytes(in), rules, list);
        SelectFilesToFetch(list, rules);
    }
}
