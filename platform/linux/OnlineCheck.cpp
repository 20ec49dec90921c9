#include "platform/OnlineCheck.h"

#include <QFile>
#include <QSet>
#include <QString>
#include <ifaddrs.h>
#include <net/if.h>

namespace {

QByteArray ReadProcFile(const char* name) {
    QFile f(QString::fromLatin1(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Online: an interface that is up, not the loopback, and carries a default route.
class TLinuxOnlineCheck : public TOnlineCheck {
public:
    bool IsConnected() override {
        QSet<QString> up;
        ifaddrs* list = nullptr;
        if (::getifaddrs(&list) == 0) {
            for (ifaddrs* a = list; a; a = a->ifa_next) {
                if ((a->ifa_flags & IFF_UP) && !(a->ifa_flags & IFF_LOOPBACK))
                    up.insert(QString::fromLocal8Bit(a->ifa_name));
            }
            ::freeifaddrs(list);
        }
        return HasDefaultRoute(ReadProcFile("/proc/net/route"), ReadProcFile("/proc/net/ipv6_route"), up);
    }
};

TOnlineCheck* g_installed = nullptr;

} // namespace

bool HasDefaultRoute(const QByteArray& ipv4, const QByteArray& ipv6, const QSet<QString>& upInterfaces) {
    // ipv4 columns: Iface Destination Gateway Flags ... Mask ...
    for (const QByteArray& line : ipv4.split('\n')) {
        const QList<QByteArray> cols = line.simplified().split(' ');
        if (cols.size() >= 8 && cols[0] != "Iface" && cols[1] == "00000000" && cols[7] == "00000000" &&
            upInterfaces.contains(QString::fromLocal8Bit(cols[0])))
            return true;
    }
    // ipv6 columns: destination, prefix length, source, prefix length, next hop, metric, ..., interface.
    for (const QByteArray& line : ipv6.split('\n')) {
        const QList<QByteArray> cols = line.simplified().split(' ');
        if (cols.size() >= 10 && cols[0] == QByteArray(32, '0') && cols[1] == "00" &&
            upInterfaces.contains(QString::fromLocal8Bit(cols[9])))
            return true;
    }
    return false;
}

TOnlineCheck& SystemOnlineCheck() {
    static TLinuxOnlineCheck check;
    return check;
}

TOnlineCheck& OnlineCheck() {
    return g_installed ? *g_installed : SystemOnlineCheck();
}

void SetOnlineCheck(TOnlineCheck* check) {
    g_installed = check;
}
