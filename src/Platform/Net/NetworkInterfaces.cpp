#include "Platform/Net/NetworkInterfaces.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <netinet/in.h>

namespace platform {

unsigned NetworkInterfaces::indexOf(const QString &name)
{
    return ::if_nametoindex(name.toUtf8().constData());
}

QStringList NetworkInterfaces::ipv4Addresses(const QString &name, bool *listRead)
{
    QStringList addresses;
    struct ifaddrs *list = nullptr;
    const bool ok = ::getifaddrs(&list) == 0;
    if (listRead)
        *listRead = ok;
    if (!ok)
        return addresses;
    const QByteArray wanted = name.toUtf8();
    for (struct ifaddrs *entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET || !entry->ifa_name)
            continue;
        if (std::strcmp(entry->ifa_name, wanted.constData()) != 0)
            continue;
        const auto *address = reinterpret_cast<const struct sockaddr_in *>(entry->ifa_addr);
        char text[INET_ADDRSTRLEN] = {};
        if (::inet_ntop(AF_INET, &address->sin_addr, text, sizeof(text)))
            addresses << QString::fromLatin1(text);
    }
    ::freeifaddrs(list);
    return addresses;
}

std::optional<NetworkInterfaces::HardwareAddress> NetworkInterfaces::hardwareAddress(const QString &name,
                                                                                     Failure *failure)
{
    auto fail = [failure](Failure why) -> std::optional<HardwareAddress> {
        if (failure)
            *failure = why;
        return std::nullopt;
    };
    const unsigned index = indexOf(name);
    if (index == 0)
        return fail(Failure::NoSuchInterface);
    struct ifaddrs *list = nullptr;
    if (::getifaddrs(&list) != 0)
        return fail(errno == ENOMEM ? Failure::OutOfMemory : Failure::ListUnavailable);
    std::optional<HardwareAddress> found;
    for (struct ifaddrs *entry = list; entry && !found; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_PACKET)
            continue;
        const auto *link = reinterpret_cast<const struct sockaddr_ll *>(entry->ifa_addr);
        // The index names the interface the name resolved to, even if it was renamed meanwhile.
        if (static_cast<unsigned>(link->sll_ifindex) != index || link->sll_halen != 6)
            continue;
        HardwareAddress bytes{};
        std::memcpy(bytes.data(), link->sll_addr, bytes.size());
        found = bytes;
    }
    ::freeifaddrs(list);
    if (!found)
        return fail(Failure::NoLinkLevelAddress);
    if (failure)
        *failure = Failure::None;
    return found;
}

} // namespace platform
