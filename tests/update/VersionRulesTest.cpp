// Version texts, local versions and the newness rule.
#include "update/VersionRules.h"

#include "UpdateTestSupport.h"
#include "update/Checksum.h"
#include "update/ControlFile.h"

using updtest::MakeVersionedFile;
using updtest::WriteFile;

namespace {
TFileVersion V(quint32 a, quint32 b, quint32 c, quint32 d) {
    return {qint32((a << 16) | b), qint32((c << 16) | d)};
}
} // namespace

TEST(VersionRules, ParseVersionText) {
    struct {
        const char* text;
        std::optional<TFileVersion> expected;
    } cases[] = {
        {"1", V(1, 0, 0, 0)},
        {"1.2", V(1, 2, 0, 0)},
        {"1.2.3", V(1, 2, 3, 0)},
        {"1.2.3.4", V(1, 2, 3, 4)},
        {"1,3", V(1, 3, 0, 0)},     // a comma makes "," the separator
        {"1,2.5", V(1, 0, 0, 0)},   // "2.5" is no number with "," as separator
        {"1.x.3", V(1, 0, 3, 0)},   // a middle part that is no number counts as 0
        {"65537.2", V(1, 2, 0, 0)}, // modulo 65536
        {"65535.65535.65535.65535", V(65535, 65535, 65535, 65535)},
        {"1.2.3.4.5", std::nullopt}, // five parts: the fourth is no number
        {"1.2.3.x", std::nullopt},
        {"abc", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseVersionText(c.text), c.expected) << c.text;
    EXPECT_EQ(VersionToText(*ParseVersionText("1,3")), "1.3.0.0");
    EXPECT_EQ(VersionToText(TFileVersion{-1, -1}), "65535.65535.65535.65535");
}

class NewnessTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(MakeVersionedFile(Path("v1199"), "1.1.9.9"));
        ASSERT_TRUE(MakeVersionedFile(Path("v12"), "1.2.0.0"));
        WriteFile(Path("plain"), "abc"); // no version block, 3 bytes
        WriteFile(Path("empty"), "");
        rules.Report = [this](int no, const QString&, int status, int) { reports << qMakePair(no, status); };
    }
    QString Path(const QString& name) const { return dir.filePath(name); }
    bool Newer(const QString& version, const QString& local, qint32 sum = -1, qint32 size = 0) {
        return IsFileNewer(rules, version, local.isEmpty() ? QString() : Path(local), sum, size, &normNew,
                           &normLocal);
    }
    QTemporaryDir dir;
    TUpdateRules rules;
    QList<QPair<int, int>> reports;
    QString normNew, normLocal;
};

TEST_F(NewnessTest, LocalVersionIsReadFromTheVersionBlock) {
    EXPECT_EQ(ReadFileVersion(Path("v1199")), V(1, 1, 9, 9));
    EXPECT_EQ(ReadFileVersion(Path("plain")), std::nullopt);
    EXPECT_EQ(ReadFileVersion(Path("missing")), std::nullopt);
}

TEST_F(NewnessTest, VersionComparison) {
    EXPECT_TRUE(Newer("1.2", "v1199"));
    EXPECT_EQ(normNew, "1.2.0.0");
    EXPECT_EQ(normLocal, "1.1.9.9");
    EXPECT_FALSE(Newer("1.2", "v12"));
    EXPECT_FALSE(Newer("1.1.9.9", "v12"));
    EXPECT_TRUE(Newer("1,3", "v12"));
    EXPECT_TRUE(Newer("1.2.0.1", "v12"));
    EXPECT_FALSE(Newer("1.2.3.4.5", "v1199")); // no version: not new
    EXPECT_TRUE(reports.isEmpty());
}

TEST_F(NewnessTest, NothingAnnouncedOrNoLocalFileMeansNew) {
    EXPECT_TRUE(Newer("", "v12", -1, 0));
    EXPECT_TRUE(Newer("1.0", "", -1, 0));
    rules.VersionCheck = vcAlways;
    EXPECT_TRUE(Newer("", "", -1, 0));
}

TEST_F(NewnessTest, LocalFileWithoutVersion) {
    EXPECT_FALSE(Newer("9.9", "plain")); // vcUpdateOnly
    rules.VersionCheck = vcAlways;
    // Both local numbers -1: the signed comparison makes any new version greater.
    EXPECT_TRUE(Newer("0.1", "plain"));
    EXPECT_EQ(normLocal, "65535.65535.65535.65535");
}

TEST_F(NewnessTest, SizeRule) {
    EXPECT_FALSE(Newer("", "plain", -1, 3));
    EXPECT_TRUE(Newer("", "plain", -1, 4));
    EXPECT_FALSE(Newer("", "missing", -1, 4)); // vcUpdateOnly: a missing file is not downloaded
    EXPECT_FALSE(Newer("", "empty", -1, 4));
    rules.VersionCheck = vcAlways;
    EXPECT_TRUE(Newer("", "missing", -1, 4));
    EXPECT_TRUE(Newer("", "empty", -1, 4));
}

TEST_F(NewnessTest, ChecksumRuleReportsAfterTheComparison) {
    const qint32 sum = -1 + 'a' + 'b' + 'c';
    EXPECT_FALSE(Newer("", "plain", sum, 0));
    EXPECT_TRUE(Newer("", "plain", sum + 1, 0));
    EXPECT_EQ(reports.size(), 2);
    EXPECT_EQ(reports[0], qMakePair(933, 3));
    // A checksum wins over size and version.
    EXPECT_FALSE(Newer("9.9", "plain", sum, 100));
}

TEST(Checksum, ByteSumAndCrc32) {
    QTemporaryDir dir;
    const QString abc = dir.filePath("abc"), digits = dir.filePath("digits"), empty = dir.filePath("empty");
    WriteFile(abc, "abc");
    WriteFile(digits, "123456789");
    WriteFile(empty, "");
    EXPECT_EQ(FileChecksum(abc, false), -1 + 97 + 98 + 99);
    EXPECT_EQ(FileChecksum(empty, false), -1);
    EXPECT_EQ(FileChecksum(dir.filePath("missing"), false), -1);
    EXPECT_EQ(FileChecksum(dir.path(), false), -1); // a directory cannot be read as a file
    EXPECT_EQ(FileChecksum(digits, true), qint32(0xCBF43926u));
    EXPECT_EQ(FileChecksum(empty, true), 0);
    EXPECT_EQ(FileChecksum(dir.filePath("missing"), true), -1);
    EXPECT_EQ(LocalFileSize(abc), 3);
    EXPECT_EQ(LocalFileSize(empty), 0);
    EXPECT_EQ(LocalFileSize(dir.filePath("missing")), -1);
    EXPECT_EQ(LocalFileSize(""), -1);
}

TEST(Checksum, ByteSumBeyond32BitsIsAnOverflowError) {
    QTemporaryDir dir;
    // -1 + 255 * n stays within the signed range up to n = 8421504.
    const QString fits = dir.filePath("fits"), over = dir.filePath("over");
    WriteFile(fits, QByteArray(8421504, char(0xFF)));
    WriteFile(over, QByteArray(8421505, char(0xFF)));
    EXPECT_EQ(FileChecksum(fits, false), 2147483519);
    EXPECT_THROW(FileChecksum(over, false), EIntOverflow);
    EXPECT_NO_THROW(FileChecksum(over, true));
}
