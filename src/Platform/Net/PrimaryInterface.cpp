#include "Platform/Net/PrimaryInterface.h"

#include "Platform/Net/NetworkInterfaces.h"

#include <QFile>
#include <QList>
#include <climits>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <net/if_arp.h>

namespace platform {

QString PrimaryInterface::name()
{
    const QString mac = QStringLiteral("en0");
    if (NetworkInterfaces::indexOf(mac) != 0)
        return mac;
    QFile routes(QStringLiteral("/proc/net/route"));
    if (routes.open(QIODevice::ReadOnly))
        if (const QString routed = defaultRouteInterface(routes.readAll()); !routed.isEmpty())
            return routed;
    const QString ethernet = firstEthernetInterface();
    return ethernet.isEmpty() ? mac : ethernet;
}

QString PrimaryInterface::defaultRouteInterface(const QByteArray &routeTable)
{
    constexpr unsigned RouteUp = 0x1;
    QString best;
    long long bestMetric = LLONG_MAX;
    const QList<QByteArray> lines = routeTable.split('\n');
    // Columns: Iface Destination Gateway Flags RefCnt Use Metric Mask …, numbers in hexadecimal.
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> fields = lines.at(i).simplified().split(' ');
        if (fields.size() < 8)
            continue;
        bool ok = false;
        const unsigned flags = fields.at(3).toUInt(&ok, 16);
        const long long metric = fields.at(6).toLongLong();
        const bool toEverywhere = fields.at(1) == "00000000" && fields.at(7) == "00000000";
        if (!ok || !(flags & RouteUp) || !toEverywhere)
            continue;
        if (metric < bestMetric) {
            bestMetric = metric;
            best = QString::fromUtf8(fields.at(0));
        }
    }
    return best;
}

QString PrimaryInterface::firstEthernetInterface()
{
    struct ifaddrs *list = nullptr;
    if (::getifaddrs(&list) != 0)
        return {};
    QString found;
    int foundIndex = INT_MAX;
    for (struct ifaddrs *entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_PACKET || !entry->ifa_name ||
            (entry->ifa_flags & IFF_LOOPBACK))
            continue;
        const auto *link = reinterpret_cast<const struct sockaddr_ll *>(entry->ifa_addr);
        if (link->sll_hatype == ARPHRD_ETHER && link->sll_halen == 6 && link->sll_ifindex < foundIndex) {
            foundIndex = link->sll_ifindex;
            found = QString::fromUtf8(entry->ifa_name);
        }
    }
    ::freeifaddrs(list);
    return found;
}

} // namespace platform
