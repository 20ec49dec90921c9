#include "platform/VersionInfo.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// The build's bin directory; the test programs live there too.
QString binDir() {
    const QString env = qEnvironmentVariable("ZW_BIN_DIR");
    return env.isEmpty() ? QCoreApplication::applicationDirPath() : env;
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString writeTemp(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return path;
}

} // namespace

TEST(VersionInfo, OwnTestProgramCarriesItsBlock) {
    const auto r = ReadOwnVersionResource();
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(r->fileVersion, (TFixedVersion{2, 3, 4, 5}));
    EXPECT_EQ(r->productVersion, (TFixedVersion{2, 3, 0, 0}));
    ASSERT_EQ(r->translations.size(), 1);
    EXPECT_EQ(r->translations[0].language, 0x0409);
    EXPECT_EQ(r->translations[0].codePage, 0x04B0);
    EXPECT_EQ(r->translations[0].Key(), "040904B0");
    EXPECT_EQ(r->Value("\\StringFileInfo\\040904B0\\FileDescription"),
              QString::fromUtf8("Prüfprogramm\nzweite Zeile \\ Ende"));
    EXPECT_EQ(r->Value("\\StringFileInfo\\040904B0\\ProductVersion"), "2.3");
    EXPECT_EQ(r->Value("\\StringFileInfo\\040904B0\\FileVersion"), "2.3.4.5");
    EXPECT_EQ(r->Value("\\VarFileInfo\\Translation"), "040904B0");
}

TEST(VersionInfo, LookupIgnoresCaseAndLeadingBackslashAndTellsMissingFromEmpty) {
    const auto r = ReadOwnVersionResource();
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(r->Value("stringfileinfo\\040904b0\\productname"), "Zettelwerk-Test");
    EXPECT_TRUE(r->Contains("\\StringFileInfo\\040904B0\\Comments"));
    EXPECT_EQ(r->Value("\\StringFileInfo\\040904B0\\Comments"), "");
    EXPECT_FALSE(r->Contains("\\StringFileInfo\\040904B0\\NoSuchString"));
    EXPECT_FALSE(r->Contains("\\StringFileInfo\\040704E4\\ProductName"));
}

TEST(VersionInfo, DeliveredProgramHasTheGermanBlock) {
    const QString exe = binDir() + "/zettelwerk";
    if (!QFile::exists(exe))
        GTEST_SKIP() << "zettelwerk not built";
    const auto r = ReadVersionResource(exe);
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(r->fileVersion.Text(), "1.0.0.0");
    EXPECT_EQ(r->productVersion.Text(), "1.0.0.0");
    ASSERT_FALSE(r->translations.isEmpty());
    const QString key = r->translations[0].Key();
    EXPECT_EQ(key, "040704E4");
    const QString p = "\\StringFileInfo\\" + key + "\\";
    EXPECT_EQ(r->Value(p + "FileDescription"), QString::fromUtf8("Verwaltung von Notizen"));
    EXPECT_EQ(r->Value(p + "FileVersion"), "1.0.0.0");
    EXPECT_EQ(r->Value(p + "ProductName"), "Zettelwerk");
    EXPECT_EQ(r->Value(p + "ProductVersion"), "1.0");
    EXPECT_EQ(r->Value(p + "InternalName"), "Zettelwerk");
    EXPECT_EQ(r->Value(p + "OriginalFilename"), "Zettelwerk");
    EXPECT_TRUE(r->Contains(p + "LegalTrademarks"));
    EXPECT_EQ(r->Value(p + "LegalTrademarks"), "");
    EXPECT_FALSE(r->Value(p + "CompanyName").isEmpty());
    EXPECT_FALSE(r->Value(p + "LegalCopyright").isEmpty());
}

TEST(VersionInfo, FilesWithoutBlockGiveNothing) {
    // A system ELF file without our section, a text file, a missing file, a directory.
    EXPECT_FALSE(ReadVersionResource("/bin/sh").has_value());
    const auto interp = ElfSectionContents("/bin/sh", ".interp");
    ASSERT_TRUE(interp.has_value());
    EXPECT_TRUE(interp->startsWith("/lib"));
    QTemporaryDir dir;
    EXPECT_FALSE(ReadVersionResource(writeTemp(dir, "text.txt", "hello world")).has_value());
    EXPECT_FALSE(ReadVersionResource(dir.filePath("missing")).has_value());
    EXPECT_FALSE(ReadVersionResource(dir.path()).has_value());
    EXPECT_FALSE(ReadVersionResource(writeTemp(dir, "empty", {})).has_value());
}

TEST(VersionInfo, TruncatedAndGarbledElfNeverCrashes) {
    const QByteArray exe = readAll(QCoreApplication::applicationFilePath());
    ASSERT_GT(exe.size(), 4096);
    QTemporaryDir dir;
    // Cut at many lengths: header only, inside the section table, short of the end.
    for (qint64 len : {4LL, 16LL, 52LL, 63LL, 64LL, 200LL, qint64(exe.size()) / 2, qint64(exe.size()) - 1}) {
        const auto r = ReadVersionResource(writeTemp(dir, "cut", exe.left(len)));
        EXPECT_FALSE(r.has_value()) << len;
    }
    // Overwrite header fields with hostile values.
    struct Patch {
        int offset;
        QByteArray bytes;
    };
    const QByteArray ff(8, char(0xFF));
    const QList<Patch> patches = {
        {0x28, ff},                        // section table beyond the end
        {0x3A, QByteArray("\x01\x00", 2)}, // tiny entry size
        {0x3C, QByteArray("\xFF\xFF", 2)}, // many sections
        {0x3E, QByteArray("\xFE\xFF", 2)}, // name table index out of range
        {0x04, QByteArray("\x07", 1)},     // unknown class
        {0x05, QByteArray("\x02", 1)},     // wrong byte order
    };
    for (const Patch& p : patches) {
        QByteArray bad = exe;
        bad.replace(p.offset, p.bytes.size(), p.bytes);
        EXPECT_NO_FATAL_FAILURE((void)ReadVersionResource(writeTemp(dir, "bad", bad)));
    }
    // Random bytes after a valid magic.
    QByteArray noise("\x7f"
                     "ELF\x02\x01\x01",
                     7);
    for (int i = 0; noise.size() < 4096; ++i)
        noise.append(char((i * 2654435761u) >> 13));
    EXPECT_FALSE(ReadVersionResource(writeTemp(dir, "noise", noise)).has_value());
}

TEST(VersionInfo, BlockParserRejectsBrokenText) {
    EXPECT_FALSE(ParseVersionBlock("").has_value());
    EXPECT_FALSE(ParseVersionBlock("ZWVERSION 2\n").has_value());
    const QByteArray good = "ZWVERSION 1\n\\FixedFileVersion=1.2.3.4\n\\FixedProductVersion=1.2.0.0\n"
                            "\\VarFileInfo\\Translation=040704E4 040904B0\n"
                            "\\StringFileInfo\\040704E4\\A=x=y\n";
    const auto r = ParseVersionBlock(good + QByteArray(1, '\0') + "trailing junk");
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(r->translations.size(), 2);
    EXPECT_EQ(r->Value("\\StringFileInfo\\040704E4\\A"), "x=y");
    EXPECT_FALSE(ParseVersionBlock("ZWVERSION 1\n\\FixedFileVersion=1.2.3\n\\FixedProductVersion=1.0.0.0\n"));
    EXPECT_FALSE(
        ParseVersionBlock("ZWVERSION 1\n\\FixedFileVersion=1.2.3.70000\n\\FixedProductVersion=1.0.0.0\n"));
    EXPECT_FALSE(ParseVersionBlock("ZWVERSION 1\n\\FixedFileVersion=1.0.0.0\n"));
    EXPECT_FALSE(ParseVersionBlock(good + "\\VarFileInfo\\Translation=04zz\n"));
    EXPECT_FALSE(ParseVersionBlock(good + "no equals sign\n"));
}
