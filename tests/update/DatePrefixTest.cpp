// Dates of the control file and prefix expansion.
#include "update/ControlFile.h"
#include "update/PrefixExpansion.h"
#include "update/UpdateDate.h"

#include <QDir>
#include <gtest/gtest.h>

TEST(UpdateDate, ParseUpdateDate) {
    const QDateTime d1980 = DefaultUpdateDate();
    struct {
        const char* date;
        const char* time;
        QDateTime expected;
    } cases[] = {
        {"31/12/2005", "", QDateTime(QDate(2005, 12, 31), QTime(0, 0))},
        {"31/12/2005", "14:30", QDateTime(QDate(2005, 12, 31), QTime(14, 30))},
        {" 1/2/2006 ", "7:05", QDateTime(QDate(2006, 2, 1), QTime(7, 5))},
        {"31/12/2005", "14:30:15", QDateTime(QDate(2005, 12, 31), QTime(14, 30, 15))},
        {"31/12/2005", "25:00", QDateTime(QDate(2005, 12, 31), QTime(0, 0))}, // bad time adds nothing
        {"31/12/2005", "noon", QDateTime(QDate(2005, 12, 31), QTime(0, 0))},
        {"12/31/2005", "", d1980}, // month 31
        {"31.12.2005", "", d1980}, // wrong separator
        {"2005", "", d1980},
        {"", "14:30", d1980.addSecs(14 * 3600 + 30 * 60)},
        {"30/02/2005", "", d1980},
        {"-1/12/2005", "", d1980},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseUpdateDate(c.date, c.time), c.expected) << c.date << " " << c.time;
    // Another order and separator.
    EXPECT_EQ(ParseUpdateDate("2005-12-31", "14.30", "yyyy-mm-dd", '-', '.'),
              QDateTime(QDate(2005, 12, 31), QTime(14, 30)));
    EXPECT_EQ(ParseUpdateDate("12/31/2005", "", "mm/dd/yyyy", '/', ':'),
              QDateTime(QDate(2005, 12, 31), QTime(0, 0)));
}

TEST(PrefixExpansion, FormatPrefixDirectory) {
    EXPECT_EQ(FormatPrefixDirectory("C:\\WINDOWS\\"), "C:\\WINDOWS");
    EXPECT_EQ(FormatPrefixDirectory("C:\\WINDOWS"), "C:\\WINDOWS");
    EXPECT_EQ(FormatPrefixDirectory("C:\\"), "C:\\.");
    EXPECT_EQ(FormatPrefixDirectory("\\\\server\\share"), "\\\\server\\share\\.");
    EXPECT_EQ(FormatPrefixDirectory("/"), "/.");
    EXPECT_EQ(FormatPrefixDirectory("/usr/lib/"), "/usr/lib/.");
}

TEST(PrefixExpansion, ExpandPrefixes) {
    const TPrefixResolver resolve = [](const QString& name) -> std::optional<QString> {
        if (name == "APP")
            return QString("C:\\Prog");
        if (name == "TMP")
            return QString("C:\\.");
        if (name == "LOOP")
            return QString("{LOOP}");
        return std::nullopt;
    };
    struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"{APP}\\zettelwerk.exe", "C:\\Prog\\zettelwerk.exe"},
        {"{app}\\a", "C:\\Prog\\a"},
        {"{App}\\a;{TMP}\\b", "C:\\Prog\\a;C:\\.\\b"},
        {"{FOO}\\a", "{FOO}\\a"},
        {"{FOO}{APP}", "{FOO}C:\\Prog"},
        {"{FOO{APP}}", "{FOOC:\\Prog}"},
        {"{APP", "{APP"},
        {"APP}", "APP}"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExpandPrefixes(c.in, resolve), c.out) << c.in;
    // A replacement that names itself ends instead of running forever.
    EXPECT_TRUE(ExpandPrefixes("{LOOP}", resolve).contains("{LOOP}"));
}

TEST(PrefixExpansion, StandardPrefixesOnThisSystem) {
    EXPECT_EQ(StandardPrefix("APP"), QDir::currentPath() + "/.");
    EXPECT_EQ(StandardPrefix("tmp"), QDir::tempPath() + "/.");
    EXPECT_EQ(StandardPrefix("WIN"), "/usr/.");
    EXPECT_EQ(StandardPrefix("SYS"), "/usr/lib/.");
    EXPECT_EQ(StandardPrefix("PF"), "/opt/.");
    EXPECT_EQ(StandardPrefix("FOO"), std::nullopt);
    TUpdateRules rules;
    EXPECT_EQ(ExpandPath(rules, "{app}/zettelwerk"), QDir::currentPath() + "/./zettelwerk");
    rules.ConvertPrefix = [](QString& p) { p.replace("{OLD}", "{APP}"); };
    EXPECT_EQ(ExpandPath(rules, "{OLD}/x"), QDir::currentPath() + "/./x");
}

TEST(ControlFileValues, MessageNewlines) {
    EXPECT_EQ(ConvertMessage("Line one\\nLine two"), "Line one\rLine two");
    EXPECT_EQ(ConvertMessage("a\\\\nb"), "a\\\rb");
    EXPECT_EQ(ConvertMessage("no newline"), "no newline");
}
