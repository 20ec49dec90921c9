// Cabinet and SZDD unpacking, directory creation.
#include "UpdateTestSupport.h"
#include "update/SzddEncoder.h"
#include "update/unpack/Unpacking.h"

#include <QDirIterator>
#include <QProcess>

using updtest::ReadFile;
using updtest::SzddLiteral;
using updtest::WriteFile;

namespace {

// Builds a cabinet with gcab from files below source (paths relative to it).
bool MakeCabinet(const QString& cab, const QString& source, const QStringList& files) {
    QProcess p;
    p.setWorkingDirectory(source);
    p.start("gcab", QStringList{"-c", cab} + files);
    return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

QByteArray Patched(const QString& path, const QByteArray& from, const QByteArray& to) {
    QByteArray data = ReadFile(path);
    const qsizetype at = data.indexOf(from);
    EXPECT_GE(at, 0);
    data.replace(at, from.size(), to);
    return data;
}

QStringList FilesBelow(const QString& dir) {
    QStringList names;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        names << QDir(dir).relativeFilePath(it.next());
    names.sort();
    return names;
}

} // namespace

class UnpackTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        src = dir.filePath("src");
        WriteFile(src + "/top.txt", "top file\n");
        WriteFile(src + "/sub/deeper/in.txt", QByteArray(20000, 'q'));
        WriteFile(src + "/zz/evil.txt", "evil");
        WriteFile(src + "/zzz/abs.txt", "abs");
        QFile f(src + "/top.txt");
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.setFileTime(QDateTime(QDate(2005, 12, 31), QTime(14, 30, 10)), QFileDevice::FileModificationTime);
    }
    QTemporaryDir dir;
    QString src;
};

TEST_F(UnpackTest, CabinetWithSubdirectories) {
    const QString cab = dir.filePath("files.cab");
    ASSERT_TRUE(MakeCabinet(cab, src, {"top.txt", "sub/deeper/in.txt"}));
    const QString target = dir.filePath("target/a/b");
    EXPECT_EQ(ExtractCabinet(cab, target + "/"), 0);
    EXPECT_EQ(FilesBelow(target), QStringList({"sub/deeper/in.txt", "top.txt"}));
    EXPECT_EQ(ReadFile(target + "/top.txt"), "top file\n");
    EXPECT_EQ(ReadFile(target + "/sub/deeper/in.txt"), QByteArray(20000, 'q'));
    EXPECT_EQ(QFileInfo(target + "/top.txt").lastModified(),
              QDateTime(QDate(2005, 12, 31), QTime(14, 30, 10)));
    EXPECT_TRUE(QFileInfo::exists(cab)); // the caller decides about the cabinet
}

TEST_F(UnpackTest, EmptyTargetMeansCurrentDirectory) {
    const QString cab = dir.filePath("files.cab");
    ASSERT_TRUE(MakeCabinet(cab, src, {"top.txt"}));
    const QString cwd = QDir::currentPath();
    QDir().mkpath(dir.filePath("cwd"));
    QDir::setCurrent(dir.filePath("cwd"));
    const int rc = ExtractCabinet(cab, "");
    QDir::setCurrent(cwd);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(ReadFile(dir.filePath("cwd/top.txt")), "top file\n");
}

TEST_F(UnpackTest, EntriesLeavingTheTargetAreRefused) {
    const QString good = dir.filePath("good.cab");
    ASSERT_TRUE(MakeCabinet(good, src, {"top.txt", "zz/evil.txt"}));
    const QString target = dir.filePath("out/inner");

    const QString parent = dir.filePath("hostile1.cab");
    WriteFile(parent, Patched(good, "zz\\evil", "..\\evil"));
    EXPECT_EQ(ExtractCabinet(parent, target), -1);

    const QString absolute = dir.filePath("hostile2.cab");
    ASSERT_TRUE(MakeCabinet(good, src, {"top.txt", "zzz/abs.txt"}));
    WriteFile(absolute, Patched(good, "zzz\\abs", "\\zz\\abs"));
    EXPECT_EQ(ExtractCabinet(absolute, target), -1);

    const QString drive = dir.filePath("hostile3.cab");
    WriteFile(drive, Patched(good, "zzz\\abs", "C:z\\abs"));
    EXPECT_EQ(ExtractCabinet(drive, target), -1);

    // Nothing written anywhere: not beside the target, not inside it, not at the root.
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("out/evil.txt")));
    EXPECT_FALSE(QFileInfo::exists(target + "/top.txt"));
    EXPECT_FALSE(QFileInfo::exists("/zz/abs.txt"));
}

TEST_F(UnpackTest, LinkInsideTargetIsNotFollowed) {
    const QString cab = dir.filePath("files.cab");
    ASSERT_TRUE(MakeCabinet(cab, src, {"sub/deeper/in.txt"}));
    const QString target = dir.filePath("t");
    QDir().mkpath(target);
    QDir().mkpath(dir.filePath("elsewhere"));
    ASSERT_TRUE(QFile::link(dir.filePath("elsewhere"), target + "/sub"));
    EXPECT_EQ(ExtractCabinet(cab, target), -1);
    EXPECT_TRUE(FilesBelow(dir.filePath("elsewhere")).isEmpty());
}

TEST_F(UnpackTest, BrokenCabinets) {
    EXPECT_EQ(ExtractCabinet(dir.filePath("missing.cab"), dir.path()), -1);
    WriteFile(dir.filePath("text.cab"), "this is no cabinet");
    EXPECT_EQ(ExtractCabinet(dir.filePath("text.cab"), dir.filePath("o")), -1);
    const QString cab = dir.filePath("files.cab");
    ASSERT_TRUE(MakeCabinet(cab, src, {"sub/deeper/in.txt"}));
    QByteArray data = ReadFile(cab);
    data.truncate(data.size() - 200);
    WriteFile(dir.filePath("cut.cab"), data);
    EXPECT_EQ(ExtractCabinet(dir.filePath("cut.cab"), dir.filePath("o2")), -1);
}

TEST_F(UnpackTest, LzExpandFile) {
    const QByteArray text = "The updater program\n" + QByteArray(5000, 'u') + "end";
    const QString packed = dir.filePath("upd.ex_");
    WriteFile(packed, SzddLiteral(text, 'e'));
    EXPECT_EQ(LzExpandedName(packed), dir.filePath("upd.exe"));
    WriteFile(dir.filePath("upd.exe"), "old contents");
    EXPECT_TRUE(LzExpandFile(packed));
    EXPECT_EQ(ReadFile(dir.filePath("upd.exe")), text);
    EXPECT_FALSE(QFileInfo::exists(packed));

    // No stored character: the trailing "_" is dropped.
    WriteFile(dir.filePath("readme.tx_"), SzddLiteral("abc", '\0'));
    EXPECT_TRUE(LzExpandFile(dir.filePath("readme.tx_")));
    EXPECT_EQ(ReadFile(dir.filePath("readme.tx")), "abc");
}

TEST_F(UnpackTest, LzExpandFileReadsTheEncodersOutput) {
    QByteArray text;
    for (int i = 0; i < 2000; ++i)
        text += "line " + QByteArray::number(i % 37) + " of the updater\n";
    const QByteArray packed = SzddCompress(text, 'e');
    EXPECT_LT(packed.size(), text.size() / 2); // repeated text really is compressed
    WriteFile(dir.filePath("upd.ex_"), packed);
    EXPECT_TRUE(LzExpandFile(dir.filePath("upd.ex_")));
    EXPECT_EQ(ReadFile(dir.filePath("upd.exe")), text);
}

TEST_F(UnpackTest, LzExpandFileLeavesOtherFilesAlone) {
    const QString plain = dir.filePath("plain.ex_");
    WriteFile(plain, "not compressed");
    EXPECT_FALSE(LzExpandFile(plain));
    EXPECT_EQ(ReadFile(plain), "not compressed");
    EXPECT_FALSE(LzExpandFile(dir.filePath("missing.ex_")));
}

TEST_F(UnpackTest, MakeDirectoryPath) {
    EXPECT_TRUE(MakeDirectoryPath(dir.filePath("a/b/c/")));
    EXPECT_TRUE(QFileInfo(dir.filePath("a/b/c")).isDir());
    EXPECT_TRUE(MakeDirectoryPath(dir.filePath("a/b")));
    EXPECT_TRUE(MakeDirectoryPath(""));
    WriteFile(dir.filePath("file"), "x");
    EXPECT_FALSE(MakeDirectoryPath(dir.filePath("file/sub")));
    EXPECT_FALSE(MakeDirectoryPath(dir.filePath("file")));
}
