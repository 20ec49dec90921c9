#pragma once
// Naming of a Windows version from its version record, system metrics, the product-type query
// and a few registry values. A pure decision procedure: the caller gathers the inputs.
#include <QString>
#include <QtGlobal>
#include <optional>

// Suite-mask bits and product types of the version record.
enum : quint32 {
    kSuiteEnterprise = 0x0002,
    kSuiteEmbedded = 0x0040,
    kSuiteDatacenter = 0x0080,
    kSuitePersonal = 0x0200,
    kSuiteBlade = 0x0400,
    kSuiteHomeServer = 0x8000,
};
enum : int { kProductWorkstation = 1, kProductDomainController = 2, kProductServer = 3 };
enum : int { kArchX86 = 0, kArchAlpha = 2, kArchIA64 = 6, kArchX64 = 9 };
enum : int { kPlatformWin32s = 0, kPlatformWin9x = 1, kPlatformNT = 2 };

struct TWindowsVersionInput {
    bool haveRecord = true;     // false: neither the extended nor the basic record was read
    bool extendedRecord = true; // false: only the basic record (suite mask, product type unknown)
    quint32 major = 0;
    quint32 minor = 0;
    quint32 build = 0; // low 16 bits of the build number
    int platform = kPlatformNT;
    QString csdText; // at most 128 characters
    int servicePackMajor = 0;
    int servicePackMinor = 0;
    quint32 suiteMask = 0;
    int productType = 0; // 0 when unknown
    int architecture = kArchX86;
    std::optional<quint32> productCode; // set only when the product query exists and succeeded

    int metricTabletPc = 0;    // metric 86
    int metricMediaCenter = 0; // metric 87
    int metricStarter = 0;     // metric 88
    int metricServerR2 = 0;    // metric 89

    QString buildLab;   // "BuildLab", empty when missing
    QString buildLabEx; // "BuildLabEx", empty when missing

    // WindowsFeatures values; a missing key or value counts as 1.
    quint32 featureMediaServices = 1;
    quint32 featureKWeblinks = 1;
    quint32 featureMessenger = 1;
    quint32 featureMediaPlayer = 1;

    bool legacyPcInstalled = false; // SYSTEM\WPA\Fundamentals "Installed" = 1
    QString mediaCenterIdent;       // Media Center "Ident", raw text
    QString productOptionsType;     // ProductOptions "ProductType" (read for a basic record)
    bool hotfixQ246009 = false;     // the Q246009 hotfix key exists
};

struct TWindowsVersionText {
    QString name;        // WindowsVersionsString
    QString servicePack; // ServicePack
};

TWindowsVersionText DescribeWindowsVersion(const TWindowsVersionInput& in);

// Second field of "BuildLabEx" split at ".", as an integer; 0 when there is none.
int BuildRevision(const QString& buildLabEx);

// "Ident" read as a decimal number with "." as decimal separator; 0 when missing or no number.
double MediaCenterVersion(const QString& ident);
