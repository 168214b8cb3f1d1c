#include "Service/DeviceInfomation.h"

#include "Platform/Net/HostInfo.h"
#include "Platform/Net/NetworkInterfaces.h"
#include "Platform/Net/PrimaryInterface.h"
#include "Platform/Runtime/Log.h"

#include <cstdio>

using platform::NetworkInterfaces;

std::shared_ptr<DeviceInfomation> DeviceInfomation::sharedInstance()
{
    static const std::shared_ptr<DeviceInfomation> instance(new DeviceInfomation);
    return instance;
}

DeviceInfomation::DeviceInfomation()
    : m_deviceName(getDeviceName()), m_deviceIPAddress(getDeviceIPAddress()),
      m_deviceMACAddress(getDeviceMacAddress())
{}

QString DeviceInfomation::deviceName() const
{
    std::lock_guard guard(m_lock);
    return m_deviceName;
}

void DeviceInfomation::setDeviceName(const QString &name)
{
    std::lock_guard guard(m_lock);
    m_deviceName = name;
}

QString DeviceInfomation::deviceIPAddress() const
{
    std::lock_guard guard(m_lock);
    return m_deviceIPAddress;
}

void DeviceInfomation::setDeviceIPAddress(const QString &address)
{
    std::lock_guard guard(m_lock);
    m_deviceIPAddress = address;
}

QString DeviceInfomation::deviceMACAddress() const
{
    std::lock_guard guard(m_lock);
    return m_deviceMACAddress;
}

void DeviceInfomation::setDeviceMACAddress(const QString &address)
{
    std::lock_guard guard(m_lock);
    m_deviceMACAddress = address;
}

QString DeviceInfomation::getDeviceName()
{
    return platform::HostInfo::localizedName();
}

QString DeviceInfomation::getDeviceIPAddress()
{
    QString address = QString::fromLatin1(IPAddressErrorText);
    bool listRead = false;
    const QStringList found = NetworkInterfaces::ipv4Addresses(platform::PrimaryInterface::name(), &listRead);
    // The last address listed wins, as it always has for this identity.
    if (listRead && !found.isEmpty())
        address = found.last();
    platform::Log::write(QStringLiteral("手机的IP是：%1").arg(address));
    return address;
}

QString DeviceInfomation::getDeviceMacAddress()
{
    NetworkInterfaces::Failure failure = NetworkInterfaces::Failure::None;
    const auto bytes = NetworkInterfaces::hardwareAddress(platform::PrimaryInterface::name(), &failure);
    if (bytes)
        return formatMacAddress(*bytes);
    // The messages keep the texts this identity has always printed, slash-n and all, where the step is
    // the same; the kernel queries that Linux does differently (getifaddrs in place of the interface-list
    // dump) say what failed in the same style.
    switch (failure) {
    case NetworkInterfaces::Failure::NoSuchInterface:
        std::printf("Error: if_nametoindex error/n");
        break;
    case NetworkInterfaces::Failure::OutOfMemory:
        std::printf("Could not allocate memory. error!/n");
        break;
    case NetworkInterfaces::Failure::ListUnavailable:
        std::printf("Error: getifaddrs error/n");
        break;
    case NetworkInterfaces::Failure::NoLinkLevelAddress:
    case NetworkInterfaces::Failure::None:
        std::printf("Error: no link-level address/n");
        break;
    }
    std::fflush(stdout);
    return {};
}

QString DeviceInfomation::formatMacAddress(const std::array<uint8_t, 6> &bytes)
{
    char text[18];
    std::snprintf(text, sizeof(text), "%02x:%02x:%02x:%02x:%02x:%02x", static_cast<unsigned>(bytes[0]),
                  static_cast<unsigned>(bytes[1]), static_cast<unsigned>(bytes[2]),
                  static_cast<unsigned>(bytes[3]), static_cast<unsigned>(bytes[4]),
                  static_cast<unsigned>(bytes[5]));
    return QString::fromLatin1(text).toLower();
}
