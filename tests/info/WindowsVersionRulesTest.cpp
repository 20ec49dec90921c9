#include "info/WindowsVersionRules.h"

#include "info/TWindowsVersionInfo.h"
#include "platform/fake/FakeOsFacts.h"

#include <gtest/gtest.h>

namespace {

TWindowsVersionInput Nt(quint32 major, quint32 minor, quint32 build, int productType = kProductWorkstation) {
    TWindowsVersionInput in;
    in.platform = kPlatformNT;
    in.major = major;
    in.minor = minor;
    in.build = build;
    in.productType = productType;
    return in;
}

TWindowsVersionInput Win9x(quint32 minor, quint32 build, const QString& csd = {}) {
    TWindowsVersionInput in;
    in.platform = kPlatformWin9x;
    in.major = 4;
    in.minor = minor;
    in.build = build;
    in.csdText = csd;
    return in;
}

QString Name(const TWindowsVersionInput& in) {
    return DescribeWindowsVersion(in).name;
}

TEST(WindowsVersionRules, XpProfessionalSp3KeepsTwoBlanksInTheAboutLine) {
    auto in = Nt(5, 1, 2600);
    in.csdText = "Service Pack 3";
    const TWindowsVersionInfo info(in);
    EXPECT_EQ(info.WindowsVersionsString(), "Microsoft Windows XP Professional ");
    EXPECT_EQ(info.ServicePack(), "Service Pack 3");
    EXPECT_EQ(info.WindowsVersionsString() + " " + info.ServicePack(),
              "Microsoft Windows XP Professional  Service Pack 3");
}

TEST(WindowsVersionRules, KAndNSuffixes) {
    auto home = Nt(5, 1, 2600);
    home.suiteMask = kSuitePersonal;
    home.featureKWeblinks = 0;
    home.featureMediaPlayer = 0;
    EXPECT_EQ(Name(home), "Microsoft Windows XP Home Edition KN ");
    home.featureMediaPlayer = 1;
    EXPECT_EQ(Name(home), "Microsoft Windows XP Home Edition K ");
    home.featureKWeblinks = 1;
    home.featureMessenger = 0;
    EXPECT_EQ(Name(home), "Microsoft Windows XP Home Edition K ");
    home.featureMessenger = 1;
    home.featureMediaPlayer = 0;
    EXPECT_EQ(Name(home), "Microsoft Windows XP Home Edition N ");
    home.featureMediaPlayer = 1;
    EXPECT_EQ(Name(home), "Microsoft Windows XP Home Edition ");

    auto pro = Nt(5, 1, 2600);
    pro.featureMediaPlayer = 0;
    EXPECT_EQ(Name(pro), "Microsoft Windows XP Professional N ");
}

TEST(WindowsVersionRules, XpEditionsFirstMatchWins) {
    auto in = Nt(5, 1, 2600);
    in.metricMediaCenter = 1;
    in.metricTabletPc = 1;
    in.mediaCenterIdent = "2.8";
    EXPECT_EQ(Name(in), "Microsoft Windows XP Media Center Edition 2004 ");
    in.mediaCenterIdent = "4.0";
    EXPECT_EQ(Name(in), "Microsoft Windows XP Media Center Edition 2005 ");
    in.mediaCenterIdent = "5.0";
    EXPECT_EQ(Name(in), "Microsoft Windows XP Media Center Edition ");
    in.mediaCenterIdent = "kaputt";
    EXPECT_EQ(Name(in), "Microsoft Windows XP Media Center Edition ");

    in.metricMediaCenter = 0;
    in.csdText = "service pack 2";
    EXPECT_EQ(Name(in), "Microsoft Windows XP Tablet PC Edition 2005 ");
    in.csdText = "Service Pack 1";
    EXPECT_EQ(Name(in), "Microsoft Windows XP Tablet PC Edition ");

    in.metricTabletPc = 0;
    in.metricStarter = 1;
    EXPECT_EQ(Name(in), "Microsoft Windows XP Starter Edition ");
    in.metricStarter = 0;
    in.legacyPcInstalled = true;
    EXPECT_EQ(Name(in), "Windows Fundamentals for Legacy PCs ");
    in.legacyPcInstalled = false;
    in.suiteMask = kSuiteEmbedded;
    EXPECT_EQ(Name(in), "Microsoft Windows XP Embedded ");
}

TEST(WindowsVersionRules, PreReleaseBuildTags) {
    EXPECT_EQ(Name(Nt(5, 1, 2410)), "Microsoft Windows XP Beta 1 (Codename: Whistler) Professional ");
    EXPECT_EQ(Name(Nt(5, 1, 2480)), "Microsoft Windows XP Beta 2 (Codename: Whistler) Professional ");
    EXPECT_EQ(Name(Nt(5, 1, 2530)), "Microsoft Windows XP RC 2 (Codename: Whistler) Professional ");
    EXPECT_EQ(Name(Nt(5, 0, 2072)), "Microsoft Windows 2000 Professional RC 1 (Codename: NT 5.0) ");
    auto alpha = Nt(5, 0, 2072);
    alpha.architecture = kArchAlpha;
    EXPECT_EQ(Name(alpha),
              QString::fromUtf8(
                  "Microsoft Windows 2000 Professional Beta für DEC-Alpha-Prozessoren (Codename: NT 5.0) "));
    EXPECT_EQ(Name(Nt(5, 0, 2195)), "Microsoft Windows 2000 Professional ");
    EXPECT_EQ(Name(Nt(5, 0, 2128, kProductServer)), "Microsoft Windows 2000 Server RC 2 (Codename: NT 5.0) ");
}

TEST(WindowsVersionRules, VistaClient) {
    auto in = Nt(6, 0, 6000);
    in.architecture = kArchX64;
    in.productCode = 6;
    EXPECT_EQ(Name(in), "Windows Vista Business Edition x64 ");
    in.buildLabEx = "6000.16384.amd64fre.vista_rtm.061101-2205";
    EXPECT_EQ(Name(in), "Windows Vista Business Edition x64 first RTM Build ");
    in.buildLabEx = "6000.16385.x";
    EXPECT_EQ(Name(in), "Windows Vista Business Edition x64 last pre RTM Build ");

    in.productCode.reset(); // no product query: no edition
    in.architecture = kArchAlpha;
    in.buildLabEx.clear();
    EXPECT_EQ(Name(in), "Windows Vista ");
    in.productCode = 0xABCDABCDu;
    in.architecture = kArchX86;
    EXPECT_EQ(Name(in), "Windows Vista Unlizenzierte Edition! x86 ");
    in.productCode = 99;
    EXPECT_EQ(Name(in), "Windows Vista x86 ");

    auto beta = Nt(6, 0, 5384);
    beta.productCode = 1;
    beta.architecture = kArchIA64;
    EXPECT_EQ(Name(beta), "Windows Vista Ultimate Edition IA64 Beta 2 (Codename: Longhorn) ");
}

TEST(WindowsVersionRules, LonghornMilestonesReplaceTheName) {
    EXPECT_EQ(Name(Nt(6, 0, 3663)), "Microsoft Windows M2 (Codename: Longhorn) ");
    EXPECT_EQ(Name(Nt(6, 0, 4074)), "Microsoft Windows WinHEC (Codename: Longhorn) ");
    EXPECT_EQ(Name(Nt(6, 0, 5048)), "Microsoft Windows (Codename: Longhorn) ");
    auto early = Nt(6, 0, 4000);
    early.productCode = 1; // below 5049: no edition, no architecture
    EXPECT_EQ(Name(early), "Microsoft Windows (Codename: Longhorn) ");
}

TEST(WindowsVersionRules, LonghornServer) {
    auto in = Nt(6, 0, 6001, kProductServer);
    EXPECT_EQ(Name(in), "Microsoft Windows Server (Codename: Longhorn) ");
    in.productCode = 8;
    in.buildLabEx = "6001.16497.x86fre";
    EXPECT_EQ(Name(in), "Microsoft Windows Server (Codename: Longhorn) Datacenter Edition x86 (April CTP) ");
    in.buildLabEx = "6001.16606.x86fre";
    EXPECT_EQ(Name(in), "Microsoft Windows Server 2008 Datacenter Edition x86 (June CTP) ");
    in.buildLabEx = "6001.18000.x86fre";
    in.productCode = 25;
    in.architecture = kArchX64;
    EXPECT_EQ(Name(in), "Microsoft Windows Server 2008 Small Business Server Premium Edition x64 ");

    auto ctp = Nt(6, 0, 5600, kProductDomainController);
    ctp.productCode = 7;
    EXPECT_EQ(Name(ctp), "Microsoft Windows Server (Codename: Longhorn) Standard Edition x86 (August CTP) ");
}

TEST(WindowsVersionRules, Server2003Family) {
    auto in = Nt(5, 2, 3790, kProductServer);
    in.architecture = kArchX64;
    EXPECT_EQ(Name(in), "Microsoft Windows Server 2003 Standard x64 Edition");
    in.suiteMask = kSuiteEnterprise;
    EXPECT_EQ(Name(in), "Microsoft Windows Server 2003 Enterprise x64 Edition ");
    in.architecture = kArchIA64;
    in.suiteMask = kSuiteDatacenter | kSuiteEnterprise;
    EXPECT_EQ(Name(in), "Microsoft Windows Server 2003 Datacenter Edition for Itanium-based Systems ");
    in.architecture = kArchX86;
    in.suiteMask = kSuiteBlade;
    EXPECT_EQ(Name(in), "Microsoft Windows Server 2003 Web Edition ");
    in.suiteMask = kSuiteHomeServer | kSuiteEnterprise;
    EXPECT_EQ(Name(in), "Microsoft Windows Home Server ");
    in.suiteMask = 0;
    in.metricServerR2 = 1;
    in.featureMediaServices = 0;
    EXPECT_EQ(Name(in), "Microsoft Windows Server 2003 R2 KN Standard Edition ");

    auto xp64 = Nt(5, 2, 3790);
    xp64.architecture = kArchX64;
    EXPECT_EQ(Name(xp64), "Microsoft Windows XP Professional x64 Edition ");
}

TEST(WindowsVersionRules, NtFourAndServers) {
    EXPECT_EQ(Name(Nt(4, 0, 1381)), "Microsoft Windows NT 4.0 Workstation ");
    auto server = Nt(4, 0, 1381, kProductServer);
    EXPECT_EQ(Name(server), "Microsoft Windows NT Server 4.0 ");
    server.suiteMask = kSuiteEnterprise;
    EXPECT_EQ(Name(server), "Microsoft Windows NT Server 4.0, Enterprise Edition ");
    auto adv = Nt(5, 0, 2195, kProductDomainController);
    adv.suiteMask = kSuiteEnterprise;
    EXPECT_EQ(Name(adv), "Microsoft Windows 2000 Advanced Server ");
    adv.suiteMask |= kSuiteDatacenter;
    EXPECT_EQ(Name(adv), "Microsoft Windows 2000 Datacenter Server ");
}

TEST(WindowsVersionRules, BasicRecordUsesProductOptions) {
    auto in = Nt(4, 0, 1381, 0);
    in.extendedRecord = false;
    in.productOptionsType = "winnt";
    EXPECT_EQ(Name(in), "Microsoft Windows NT Workstation 4.0");
    in.productOptionsType = "LANMANNT";
    EXPECT_EQ(Name(in), "Microsoft Windows NT Server 4.0");
    in.productOptionsType = "ServerNT";
    EXPECT_EQ(Name(in), "Microsoft Windows NT Advanced Server 4.0");
    in.productOptionsType = QString(90, u'W'); // too long: counts as empty
    EXPECT_EQ(Name(in), "Microsoft Windows NT 4.0");
}

TEST(WindowsVersionRules, ServicePack6a) {
    auto in = Nt(4, 0, 1381);
    in.csdText = "service pack 6";
    EXPECT_EQ(DescribeWindowsVersion(in).servicePack, "service pack 6");
    in.hotfixQ246009 = true;
    EXPECT_EQ(DescribeWindowsVersion(in).servicePack, "Service Pack 6a");
    auto xp = Nt(5, 1, 2600);
    xp.csdText = "Service Pack 6";
    xp.hotfixQ246009 = true;
    EXPECT_EQ(DescribeWindowsVersion(xp).servicePack, "Service Pack 6");
}

TEST(WindowsVersionRules, Windows9x) {
    EXPECT_EQ(Name(Win9x(0, 950)), "Microsoft Windows 95 ");
    EXPECT_EQ(Name(Win9x(0, 950, " A")), "Microsoft Windows 95 OSR1 ");
    EXPECT_EQ(Name(Win9x(0, 1111, " B")), "Microsoft Windows 95 B OSR2 ");
    EXPECT_EQ(Name(Win9x(0, 1212, " C")), "Microsoft Windows 95 C OSR2.5 ");
    EXPECT_EQ(Name(Win9x(0, 347)),
              QString::fromUtf8("Microsoft Windows 95 Beta 3 (Codename: Chicago) März 1995 "));
    EXPECT_EQ(Name(Win9x(10, 2222, " A")), "Microsoft Windows 98 SE ");
    EXPECT_EQ(Name(Win9x(10, 1650)), "Microsoft Windows 98 Beta 3 (Codename: Memphis) ");
    EXPECT_EQ(Name(Win9x(10, 1998)), "Microsoft Windows 98 ");
    EXPECT_EQ(Name(Win9x(90, 2500)), "Microsoft Windows Millennium Edition Beta 3 (Codename: Georgia) ");
    EXPECT_EQ(Name(Win9x(90, 3000)), "Microsoft Windows Millennium Edition ");

    TWindowsVersionInput w32s;
    w32s.platform = kPlatformWin32s;
    EXPECT_EQ(Name(w32s), "Microsoft Win32s");
}

TEST(WindowsVersionRules, UnknownVersionsGiveAnEmptyName) {
    EXPECT_EQ(Name(Nt(6, 1, 7601)), "");
    EXPECT_EQ(Name(Nt(10, 0, 19045)), "");
    EXPECT_EQ(Name(Nt(6, 2, 9200, kProductServer)), "");
    EXPECT_EQ(Name(Win9x(3, 100)), "");
}

TEST(WindowsVersionRules, NoRecordAtAll) {
    TWindowsVersionInput in;
    in.haveRecord = false;
    in.csdText = "Service Pack 3";
    const auto out = DescribeWindowsVersion(in);
    EXPECT_EQ(out.name, "Fehler bei der Ermittlung der Windows-Version");
    EXPECT_EQ(out.servicePack, "");
}

TEST(WindowsVersionRules, BuildRevisionAndMediaCentreNumber) {
    EXPECT_EQ(BuildRevision("6000.16386.amd64fre"), 16386);
    EXPECT_EQ(BuildRevision("6000"), 0);
    EXPECT_EQ(BuildRevision(""), 0);
    EXPECT_EQ(BuildRevision("6000.abc.x"), 0);
    EXPECT_DOUBLE_EQ(MediaCenterVersion("2.7"), 2.7);
    EXPECT_DOUBLE_EQ(MediaCenterVersion("2,7"), 0.0);
    EXPECT_DOUBLE_EQ(MediaCenterVersion(""), 0.0);
}

TEST(OsDescription, LinuxNameAndKernel) {
    TFakeOsFacts facts;
    const TWindowsVersionInfo info(facts);
    EXPECT_EQ(info.WindowsVersionsString(), "Debian GNU/Linux 12 (bookworm) ");
    EXPECT_EQ(info.ServicePack(), "Linux 6.1.0-test-amd64");
}

} // namespace
