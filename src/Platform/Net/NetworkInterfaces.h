#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <optional>

namespace platform {

// Queries of the kernel's network interfaces (getifaddrs, if_nametoindex).
class NetworkInterfaces
{
public:
    using HardwareAddress = std::array<uint8_t, 6>;

    // Where a hardware-address query stopped.
    enum class Failure
    {
        None,
        NoSuchInterface,    // if_nametoindex gave 0
        ListUnavailable,    // the interface list could not be read
        OutOfMemory,        // the kernel or the C library ran out of memory reading it
        NoLinkLevelAddress, // the interface has no six-byte link-level address
    };

    // The interface's index, 0 when there is no interface of that name.
    static unsigned indexOf(const QString &name);
    // The IPv4 addresses of the named interface in dotted-decimal text, in the kernel's list order.
    // listRead is false when the list could not be read at all.
    static QStringList ipv4Addresses(const QString &name, bool *listRead = nullptr);
    // The interface's six-byte hardware address from its link-level (AF_PACKET) entry.
    static std::optional<HardwareAddress> hardwareAddress(const QString &name, Failure *failure = nullptr);
};

} // namespace platform
