#include "info/TExeInfo.h"

#include <QCoreApplication>
#include <QFile>
#include <gtest/gtest.h>

namespace {
QStringList AllTexts(const TExeInfo& e) {
    return {e.CompanyName(),    e.FileDescription(),  e.FileVersion(), e.InternalName(),   e.LegalCopyright(),
            e.LegalTradeMark(), e.OriginalFileName(), e.ProductName(), e.ProductVersion(), e.Comments()};
}
} // namespace

TEST(ExeInfo, ReadsTheProgramsOwnBlock) {
    TExeInfo info; // this test program carries the program's block
    EXPECT_EQ(info.ProductVersion(), "1.0");
    EXPECT_EQ(info.FileVersion(), "1.0.0.0");
    EXPECT_EQ(info.FileDescription(), "Verwaltung von Notizen");
    EXPECT_EQ(info.ProductName(), "Zettelwerk");
    EXPECT_EQ(info.InternalName(), "Zettelwerk");
    // Stored as "OriginalFilename" and "LegalTrademarks": names are matched without regard to case.
    EXPECT_EQ(info.OriginalFileName(), "Zettelwerk");
    EXPECT_EQ(info.LegalTradeMark(), "");
    EXPECT_EQ(info.Comments(), "");
    EXPECT_FALSE(info.CompanyName().isEmpty());
    EXPECT_FALSE(info.LegalCopyright().isEmpty());
}

TEST(ExeInfo, DeliveredExecutable) {
    const QString exe = (qEnvironmentVariableIsEmpty("ZW_BIN_DIR") ? QCoreApplication::applicationDirPath()
                                                                   : qEnvironmentVariable("ZW_BIN_DIR")) +
                        "/zettelwerk";
    if (!QFile::exists(exe))
        GTEST_SKIP() << "zettelwerk not built";
    TExeInfo info(nullptr, exe);
    EXPECT_EQ(info.ProductVersion(), "1.0");
    EXPECT_EQ(info.FileDescription(), "Verwaltung von Notizen");
}

TEST(ExeInfo, NoBlockKeepsTheStartText) {
    TExeInfo info(nullptr, "/bin/sh");
    for (const QString& t : AllTexts(info))
        EXPECT_EQ(t, "Updated at run-time");
    TExeInfo missing(nullptr, "/nonexistent/file");
    EXPECT_EQ(missing.ProductVersion(), "Updated at run-time");
}

TEST(ExeInfo, FirstTranslationChoosesTheTableAndMissingStringsAreEmpty) {
    const auto r =
        ParseVersionBlock("ZWVERSION 1\n\\FixedFileVersion=2.0.0.0\n\\FixedProductVersion=2.0.0.0\n"
                          "\\VarFileInfo\\Translation=040904B0 040704E4\n"
                          "\\StringFileInfo\\040904B0\\ProductVersion=2.0 en\n"
                          "\\StringFileInfo\\040704E4\\ProductVersion=2.0 de\n"
                          "\\StringFileInfo\\040704E4\\ProductName=Zettelwerk\n");
    ASSERT_TRUE(r.has_value());
    TExeInfo info(r, nullptr);
    EXPECT_EQ(info.ProductVersion(), "2.0 en");
    EXPECT_EQ(info.ProductName(), ""); // only in the second table
    EXPECT_EQ(info.CompanyName(), "");

    const auto noTranslation =
        ParseVersionBlock("ZWVERSION 1\n\\FixedFileVersion=2.0.0.0\n\\FixedProductVersion=2.0.0.0\n");
    ASSERT_TRUE(noTranslation.has_value());
    TExeInfo bare(noTranslation, nullptr);
    for (const QString& t : AllTexts(bare))
        EXPECT_EQ(t, "");
}
