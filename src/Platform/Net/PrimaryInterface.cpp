#include "Platform/Net/PrimaryInterface.h"

#include <QFile>
#include <QList>
#include <QNetworkInterface>
#include <climits>

namespace platform {

QString PrimaryInterface::name()
{
    const QString mac = QStringLiteral("en0");
    if (QNetworkInterface::interfaceIndexFromName(mac) != 0)
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
    QString found;
    int foundIndex = INT_MAX;
    // Qt tells a wireless link from a wired one; both are Ethernet-style links with six-byte addresses.
    for (const QNetworkInterface &link : QNetworkInterface::allInterfaces()) {
        const bool ethernet =
            link.type() == QNetworkInterface::Ethernet || link.type() == QNetworkInterface::Wifi;
        if (ethernet && !(link.flags() & QNetworkInterface::IsLoopBack) &&
            link.hardwareAddress().size() == 17 && link.index() < foundIndex) {
            foundIndex = link.index();
            found = link.name();
        }
    }
    return found;
}

} // namespace platform
