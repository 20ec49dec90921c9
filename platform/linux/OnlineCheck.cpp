#include "platform/OnlineCheck.h"

#include <QFile>
#include <QSet>
#include <QString>
#include <ifaddrs.h>
#include <net/if.h>

namespace {

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
        return HasDefaultRoute("/proc/net/route", up, 1, 2) ||
               HasDefaultRoute("/proc/net/ipv6_route", up, 9, 0);
    }

private:
    // ipv4: columns Iface Destination ...; ipv6: destination, prefix length, ..., interface last.
    static bool HasDefaultRoute(const QString& file, const QSet<QString>& up, int ifaceCol, int) {
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly))
            return false;
        const QList<QByteArray> lines = f.readAll().split('\n');
        for (const QByteArray& line : lines) {
            const QList<QByteArray> cols = line.simplified().split(' ');
            if (ifaceCol == 1) {
                if (cols.size() < 2 || cols[0] == "Iface")
                    continue;
                if (cols[1] == "00000000" && up.contains(QString::fromLocal8Bit(cols[0])))
                    return true;
            } else {
                if (cols.size() < 10)
                    continue;
                if (cols[0] == QByteArray(32, '0') && cols[1] == "00" &&
                    up.contains(QString::fromLocal8Bit(cols[9])))
                    return true;
            }
        }
        return false;
    }
};

TOnlineCheck* g_installed = nullptr;

} // namespace

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
