#pragma once
// Whether the machine counts as connected to the Internet.
#include <QByteArray>
#include <QSet>
#include <QString>

class TOnlineCheck {
public:
    virtual ~TOnlineCheck() = default;
    virtual bool IsConnected() = 0;
};

// Whether a routing table names a default route through one of the given interfaces.
// ipv4: the text of /proc/net/route; ipv6: the text of /proc/net/ipv6_route.
bool HasDefaultRoute(const QByteArray& ipv4, const QByteArray& ipv6, const QSet<QString>& upInterfaces);

// The check in use (nullptr: the system's).
TOnlineCheck& OnlineCheck();
void SetOnlineCheck(TOnlineCheck* check);
TOnlineCheck& SystemOnlineCheck();
