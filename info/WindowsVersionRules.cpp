#include "info/WindowsVersionRules.h"

#include <QStringList>
#include <initializer_list>

namespace {

struct TBuildText {
    quint32 first;
    quint32 last;
    const char* text;
};

QString ByBuild(quint32 build, std::initializer_list<TBuildText> table) {
    for (const auto& row : table)
        if (build >= row.first && build <= row.last)
            return QString::fromUtf8(row.text);
    return {};
}

QChar SecondChar(const QString& s) {
    return s.size() >= 2 ? s.at(1) : QChar();
}

QString Architecture(int arch) {
    switch (arch) {
    case kArchX86:
        return QStringLiteral("x86 ");
    case kArchX64:
        return QStringLiteral("x64 ");
    case kArchIA64:
        return QStringLiteral("IA64 ");
    default:
        return {};
    }
}

QString ClientEdition(quint32 code) {
    switch (code) {
    case 1:
        return "Ultimate Edition ";
    case 2:
        return "Home Basic Edition ";
    case 3:
        return "Home Premium Edition ";
    case 4:
        return "Enterprise Edition ";
    case 5:
        return "Home Basic N Edition ";
    case 6:
        return "Business Edition ";
    case 11:
        return "Starter Edition ";
    case 16:
        return "Business N Edition ";
    case 0xABCDABCDu:
        return "Unlizenzierte Edition! ";
    default:
        return {};
    }
}

QString ServerEdition(quint32 code) {
    switch (code) {
    case 7:
        return "Standard Edition ";
    case 8:
        return "Datacenter Edition ";
    case 9:
        return "Small Business Server ";
    case 10:
        return "Enterprise Edition ";
    case 12:
        return "Core Datacenter Edition ";
    case 13:
        return "Core Standard Edition ";
    case 14:
        return "Core Enterprise Edition ";
    case 15:
        return "Itanium Enterprise Edition ";
    case 17:
        return "Web Edition ";
    case 18:
        return "Cluster Edition ";
    case 20:
        return "Storage Express Edition ";
    case 21:
        return "Storage Standard Edition ";
    case 22:
        return "Storage Workgroup Edition ";
    case 23:
        return "Storage Enterprise Edition ";
    case 24:
        return "Server for Small Business Edition ";
    case 25:
        return "Small Business Server Premium Edition ";
    default:
        return {};
    }
}

QString ClientBuildTag(quint32 build, int revision) {
    if (build == 6000) {
        if (revision == 16384)
            return "first RTM Build ";
        if (revision == 16385)
            return "last pre RTM Build ";
        return {};
    }
    return ByBuild(build, {
                              {5112, 5112, "Beta 1 (Codename: Longhorn) "},
                              {5219, 5219, "Sep 2005 CTP (Codename: Longhorn) "},
                              {5231, 5231, "Oct 2005 CTP (Codename: Longhorn) "},
                              {5259, 5259, "Nov 2005 CTP - TAP (Codename: Longhorn) "},
                              {5270, 5270, "Dez 2005 CTP (Codename: Longhorn) "},
                              {5308, 5308, "Feb 2006 CTP (Codename: Longhorn) "},
                              {5342, 5342, "March 2006 TAP Release (Codename: Longhorn) "},
                              {5365, 5365, "Beta 2 Preview (Codename: Longhorn) "},
                              {5381, 5381, "Beta 2 Preview (Codename: Longhorn) "},
                              {5384, 5384, "Beta 2 (Codename: Longhorn) "},
                              {5456, 5456, "Post-Beta 2 (Codename: Longhorn) "},
                              {5465, 5465, "Beta 2 June Refresh (Codename: Longhorn) "},
                              {5472, 5472, "Beta 2 July Refresh (Codename: Longhorn) "},
                              {5536, 5536, "pre RC 1 (Codename: Longhorn) "},
                              {5552, 5552, "pre RC 1 (Codename: Longhorn) "},
                              {5600, 5600, "RC 1 (Codename: Longhorn) "},
                              {5728, 5728, "RC 1 (Codename: Longhorn) "},
                              {5744, 5744, "RC 2 (Codename: Longhorn) "},
                              {5840, 5840, "pre RTM (Codename: Longhorn) "},
                          });
}

QString ServerBuildTag(quint32 build, int revision) {
    if (build == 6001) {
        switch (revision) {
        case 16406:
            return "(Dez CTP) ";
        case 16461:
            return "(Feb CTP) ";
        case 16497:
            return "(April CTP) ";
        case 16510:
            return "(Beta 3) ";
        case 16606:
            return "(June CTP) ";
        default:
            return {};
        }
    }
    return ByBuild(build, {
                              {5112, 5112, "(Beta 1) "},
                              {5384, 5384, "(Beta 2) "},
                              {5600, 5600, "(August CTP) "},
                              {5728, 5728, "(Sep CTP) "},
                              {5744, 5744, "(Oct CTP) "},
                          });
}

QString XpBuildTag(quint32 build) {
    return ByBuild(build, {
                              {2296, 2296, "Beta 1 (Codename: Whistler) "},
                              {2410, 2410, "Beta 1 (Codename: Whistler) "},
                              {2419, 2419, "Beta 1 (Codename: Whistler) "},
                              {2428, 2428, "Beta 1 (Codename: Whistler) "},
                              {2462, 2504, "Beta 2 (Codename: Whistler) "},
                              {2505, 2505, "RC 1 (Codename: Whistler) "},
                              {2525, 2542, "RC 2 (Codename: Whistler) "},
                              {2545, 2545, "pre RTM (Codename: Whistler) "},
                          });
}

QString Nt50BuildTag(quint32 build, int arch) {
    if (build == 2072)
        return arch == kArchAlpha ? QString::fromUtf8("Beta für DEC-Alpha-Prozessoren (Codename: NT 5.0) ")
                                  : QStringLiteral("RC 1 (Codename: NT 5.0) ");
    return ByBuild(build, {
                              {1671, 1671, "Beta 1 (Codename: NT 5.0) "},
                              {1877, 1877, "Beta 2 (Codename: NT 5.0) "},
                              {2031, 2031, "Beta 3 (Codename: NT 5.0) "},
                              {2128, 2128, "RC 2 (Codename: NT 5.0) "},
                              {2183, 2183, "RC 3 (Codename: NT 5.0) "},
                              {5111, 5111, "(Codename: Neptune) "},
                          });
}

bool Is(const TWindowsVersionInput& in, quint32 major, quint32 minor) {
    return in.major == major && in.minor == minor;
}

void Windows9x(const TWindowsVersionInput& in, QString& name) {
    const QChar csd2 = SecondChar(in.csdText);
    if (Is(in, 4, 0)) {
        name = "Microsoft Windows 95 ";
        if (in.build == 950) {
            if (csd2 == u'A')
                name += "OSR1 ";
        } else {
            name += ByBuild(in.build, {
                                          {122, 122, "Beta (Codename: Chicago) "},
                                          {189, 189, "Beta 2 (Codename: Chicago) Sept. 1994 "},
                                          {347, 347, "Beta 3 (Codename: Chicago) März 1995 "},
                                          {480, 480, "Beta 4 (Codename: Chicago) Mai 1995 "},
                                          {999, 999, "B Beta (Codename: Nashville) "},
                                      });
        }
        if (csd2 == u'C')
            name += "C OSR2.5 ";
        else if (csd2 == u'B')
            name += "B OSR2 ";
    }
    if (Is(in, 4, 10)) {
        name = "Microsoft Windows 98 ";
        if (csd2 == u'A' || csd2 == u'B')
            name += "SE ";
        name += ByBuild(in.build, {
                                      {1387, 1387, "Developer Release (Codename: Memphis) "},
                                      {1488, 1488, "Beta 1 (Codename: Memphis) "},
                                      {1546, 1546, "Beta 2 (Codename: Memphis) "},
                                      {1602, 1602, "Beta 2.1 (Codename: Memphis) "},
                                      {1619, 1619, "Beta 2 Refresh (Codename: Memphis) "},
                                      {1629, 1658, "Beta 3 (Codename: Memphis) "},
                                      {1691, 1691, "RC 0 (Codename: Memphis) "},
                                      {1720, 1723, "RC 1 (Codename: Memphis) "},
                                  });
    }
    if (Is(in, 4, 90)) {
        name = "Microsoft Windows Millennium Edition ";
        name += ByBuild(in.build, {
                                      {2380, 2416, "Beta 1 (Codename: Georgia) "},
                                      {2419, 2495, "Beta 2 (Codename: Georgia) "},
                                      {2499, 2520, "Beta 3 (Codename: Georgia) "},
                                      {2525, 2525, "RC 1 (Codename: Georgia) "},
                                  });
    }
}

void Longhorn(const TWindowsVersionInput& in, QString& name) {
    const int revision = BuildRevision(in.buildLabEx);
    if (in.productType == kProductWorkstation) {
        name = in.build > 5048 ? "Windows Vista " : "Microsoft Windows (Codename: Longhorn) ";
        const QString milestone =
            ByBuild(in.build, {
                                  {3663, 3663, "Microsoft Windows M2 (Codename: Longhorn) "},
                                  {3683, 3683, "Microsoft Windows M3 (Codename: Longhorn) "},
                                  {3706, 3706, "Microsoft Windows M3 (Codename: Longhorn) "},
                                  {3718, 3718, "Microsoft Windows M3 (Codename: Longhorn) "},
                                  {4008, 4008, "Microsoft Windows M4 (Codename: Longhorn) "},
                                  {4011, 4011, "Microsoft Windows M4 (Codename: Longhorn) "},
                                  {4015, 4015, "Microsoft Windows M5 (Codename: Longhorn) "},
                                  {4029, 4029, "Microsoft Windows M5 (Codename: Longhorn) "},
                                  {4033, 4033, "Microsoft Windows M5 (Codename: Longhorn) "},
                                  {4051, 4051, "Microsoft Windows M6 (Codename: Longhorn) "},
                                  {4053, 4053, "Microsoft Windows M6 (Codename: Longhorn) "},
                                  {4074, 4074, "Microsoft Windows WinHEC (Codename: Longhorn) "},
                                  {4083, 4083, "Microsoft Windows M7 (Codename: Longhorn) "},
                                  {4093, 4093, "Microsoft Windows M7 (Codename: Longhorn) "},
                                  {5048, 5048, "Microsoft Windows (Codename: Longhorn) "},
                              });
        if (!milestone.isEmpty()) {
            name = milestone;
        } else if (in.build >= 5049) {
            if (in.productCode)
                name += ClientEdition(*in.productCode);
            name += Architecture(in.architecture);
            name += ClientBuildTag(in.build, revision);
        }
        return;
    }
    name = "Microsoft Windows Server (Codename: Longhorn) ";
    if (revision >= 16606)
        name = "Microsoft Windows Server 2008 ";
    if (in.build >= 5048 && in.productCode) {
        name += ServerEdition(*in.productCode);
        name += Architecture(in.architecture);
        name += ServerBuildTag(in.build, revision);
    }
}

void AppendKN(const TWindowsVersionInput& in, QString& name) {
    const bool k = in.featureKWeblinks == 0 || in.featureMessenger == 0;
    const bool n = in.featureMediaPlayer == 0;
    if (k)
        name += n ? "KN " : "K ";
    else if (n)
        name += "N ";
}

void Workstation(const TWindowsVersionInput& in, QString& name) {
    if (in.major == 4) {
        name += "4.0 Workstation ";
    } else if ((in.suiteMask & kSuitePersonal) && in.major == 5) {
        name += "Home Edition ";
        AppendKN(in, name);
    } else if (Is(in, 5, 1)) {
        name += XpBuildTag(in.build);
        if (in.metricMediaCenter != 0) {
            name += "Media Center Edition ";
            const double mce = MediaCenterVersion(in.mediaCenterIdent);
            if (mce >= 2 && mce < 3)
                name += "2004 ";
            else if (mce >= 3 && mce <= 4)
                name += "2005 ";
        } else if (in.metricTabletPc != 0) {
            name += in.csdText.compare("Service Pack 2", Qt::CaseInsensitive) == 0 ? "Tablet PC Edition 2005 "
                                                                                   : "Tablet PC Edition ";
        } else if (in.metricStarter != 0) {
            name += "Starter Edition ";
        } else if (in.legacyPcInstalled) {
            name = "Windows Fundamentals for Legacy PCs ";
        } else if (in.suiteMask & kSuiteEmbedded) {
            name += "Embedded ";
        } else {
            name += "Professional ";
            AppendKN(in, name);
        }
    } else if (Is(in, 5, 0)) {
        name += "Professional ";
        name += Nt50BuildTag(in.build, in.architecture);
    }
}

void Server(const TWindowsVersionInput& in, QString& name) {
    const quint32 suite = in.suiteMask;
    if (Is(in, 5, 2)) {
        if (in.architecture == kArchIA64) {
            name += (suite & kSuiteDatacenter)   ? "Datacenter Edition for Itanium-based Systems "
                    : (suite & kSuiteEnterprise) ? "Enterprise Edition for Itanium-based Systems "
                                                 : "Standard Edition for Itanium-based Systems ";
        } else if (in.architecture == kArchX64) {
            name += (suite & kSuiteDatacenter)   ? "Datacenter x64 Edition "
                    : (suite & kSuiteEnterprise) ? "Enterprise x64 Edition "
                                                 : "Standard x64 Edition";
        } else if (suite & kSuiteDatacenter) {
            name += "Datacenter Edition ";
        } else if (suite & kSuiteHomeServer) {
            name = "Microsoft Windows Home Server ";
        } else if (suite & kSuiteEnterprise) {
            name += "Enterprise Edition ";
        } else if (suite & kSuiteBlade) {
            name += "Web Edition ";
        } else {
            name += "Standard Edition ";
        }
    } else if (Is(in, 5, 0)) {
        name += (suite & kSuiteDatacenter)   ? "Datacenter Server "
                : (suite & kSuiteEnterprise) ? "Advanced Server "
                                             : "Server ";
        name += Nt50BuildTag(in.build, in.architecture);
    } else if (Is(in, 4, 0)) {
        name += (suite & kSuiteEnterprise) ? "Server 4.0, Enterprise Edition " : "Server 4.0 ";
    }
}

void WindowsNT(const TWindowsVersionInput& in, QString& name, QString& servicePack) {
    if (Is(in, 6, 0)) {
        Longhorn(in, name);
    } else if (Is(in, 5, 2)) {
        if (in.metricServerR2 != 0)
            name = "Microsoft Windows Server 2003 R2 ";
        else if (in.productType == kProductWorkstation && in.architecture == kArchX64)
            name = "Microsoft Windows XP Professional x64 Edition ";
        else
            name = "Microsoft Windows Server 2003 ";
        if (in.featureMediaServices == 0)
            name += "KN ";
    } else if (Is(in, 5, 1)) {
        name = "Microsoft Windows XP ";
    } else if (Is(in, 5, 0)) {
        name = "Microsoft Windows 2000 ";
    } else if (in.major <= 4) {
        name = "Microsoft Windows NT ";
    }

    if (in.extendedRecord) {
        if (in.productType == kProductWorkstation && in.architecture != kArchX64)
            Workstation(in, name);
        else if (in.productType == kProductDomainController || in.productType == kProductServer)
            Server(in, name);
    } else {
        QString type = in.productOptionsType;
        if (type.toUtf8().size() >= 80)
            type.clear();
        if (type.compare("WINNT", Qt::CaseInsensitive) == 0)
            name += "Workstation ";
        else if (type.compare("LANMANNT", Qt::CaseInsensitive) == 0)
            name += "Server ";
        else if (type.compare("SERVERNT", Qt::CaseInsensitive) == 0)
            name += "Advanced Server ";
        name = QStringLiteral("%1%2.%3").arg(name).arg(in.major).arg(in.minor);
    }

    if (in.major == 4 && in.csdText.compare("Service Pack 6", Qt::CaseInsensitive) == 0 && in.hotfixQ246009)
        servicePack = "Service Pack 6a";
}

} // namespace

int BuildRevision(const QString& buildLabEx) {
    const QStringList parts = buildLabEx.split(u'.');
    if (parts.size() < 2)
        return 0;
    bool ok = false;
    const int value = parts.at(1).trimmed().toInt(&ok);
    return ok ? value : 0;
}

double MediaCenterVersion(const QString& ident) {
    // QString::toDouble reads the C locale: "." whatever the user's settings say.
    bool ok = false;
    const double value = ident.trimmed().toDouble(&ok);
    return ok ? value : 0.0;
}

TWindowsVersionText DescribeWindowsVersion(const TWindowsVersionInput& in) {
    TWindowsVersionText out;
    if (!in.haveRecord) {
        out.name = "Fehler bei der Ermittlung der Windows-Version";
        return out;
    }
    out.servicePack = in.csdText.left(128);
    switch (in.platform) {
    case kPlatformWin32s:
        out.name = "Microsoft Win32s";
        break;
    case kPlatformWin9x:
        Windows9x(in, out.name);
        break;
    case kPlatformNT:
        WindowsNT(in, out.name, out.servicePack);
        break;
    default:
        break;
    }
    return out;
}
