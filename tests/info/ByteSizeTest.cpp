#include "info/ByteSize.h"

#include "info/TWindowsVersionInfo.h"

#include <QLocale>
#include <gtest/gtest.h>

namespace {

struct TSizeCase {
    qint64 bytes;
    const char* text;
};

TEST(FormatByteSize, CommaSeparatorTable) {
    const TSizeCase cases[] = {
        {0, "0 Byte"},
        {1, "1 Byte"},
        {1023, "1023 Byte"},
        {1024, "1,00 KB"},
        {1536, "1,50 KB"},
        {1048575, "1024,00 KB"}, // stays below the threshold after rounding
        {1048576, "1,00 MB"},
        {2147483648LL, "2,00 GB"},
        {1099511627776LL, "1,000 TB"},
        {200LL * 4096, "800,00 KB"},  // 200 pages of 4096 bytes
        {786432LL * 4096, "3,00 GB"}, // 3 GiB
        {1125899906842624LL, "1024,000 TB"},
        {-1, ""},
        {std::numeric_limits<qint64>::min(), ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatByteSize(c.bytes, u','), QString::fromUtf8(c.text)) << c.bytes;
}

TEST(FormatByteSize, RoundingOfDecimals) {
    EXPECT_EQ(FormatByteSize(1029, u'.'), "1.00 KB"); // 1.0048...
    EXPECT_EQ(FormatByteSize(1030, u'.'), "1.01 KB"); // 1.0058...
    EXPECT_EQ(FormatByteSize(10240, u'.'), "10.00 KB");
    EXPECT_EQ(FormatByteSize(1024 * 1024 - 5, u'.'), "1024.00 KB");
    EXPECT_EQ(FormatByteSize(1073741824LL + 53687091LL, u'.'), "1.05 GB");
}

TEST(FormatByteSize, LargestCountsDoNotOverflow) {
    // The largest count whose ten-thousandths fit in 64 bits, and counts beyond it.
    EXPECT_EQ(FormatByteSize(922337203685477LL, u','), "838,861 TB");
    EXPECT_EQ(FormatByteSize(std::numeric_limits<qint64>::max(), u','), "8388608,000 TB");
}

TEST(FormatByteSize, UsesTheUsersDecimalSeparator) {
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(FormatByteSize(1536), "1,50 KB");
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(FormatByteSize(1536), "1.50 KB");
    EXPECT_EQ(FormatByteSize(1099511627776LL), "1.000 TB");
    QLocale::setDefault(saved);
}

TEST(FormatByteSize, MediaCentreNamingLeavesTheSeparatorAlone) {
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    TWindowsVersionInput in;
    in.major = 5;
    in.minor = 1;
    in.build = 2600;
    in.productType = kProductWorkstation;
    in.metricMediaCenter = 1;
    in.mediaCenterIdent = "3.1";
    const TWindowsVersionInfo info(in);
    EXPECT_EQ(info.WindowsVersionsString(), "Microsoft Windows XP Media Center Edition 2005 ");
    EXPECT_EQ(FormatByteSize(1536), "1,50 KB");
    QLocale::setDefault(saved);
}

} // namespace
