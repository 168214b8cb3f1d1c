#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

// The network interface that stands for a Mac's "en0", its primary interface, on this system.
class PrimaryInterface
{
public:
    // An interface actually named "en0" when there is one; else the interface of the default IPv4 route;
    // else the first Ethernet interface that is not loopback; else "en0", which then is found nowhere.
    static QString name();
    // The interface of the default route in the contents of /proc/net/route (of several, the one with the
    // lowest metric, then the first listed); empty when there is none.
    static QString defaultRouteInterface(const QByteArray &routeTable);
    // The non-loopback interface with a six-byte Ethernet (or Wi-Fi) hardware address and the lowest index;
    // empty for none.
    static QString firstEthernetInterface();
};

} // namespace platform
