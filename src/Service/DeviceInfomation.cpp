#include "Service/DeviceInfomation.h"

#include "Platform/Net/PrimaryInterface.h"

#include <QDebug>
#include <QFile>
#include <QNetworkInterface>
#include <QSysInfo>
#include <cstdio>

std::shared_ptr<DeviceInfomation> DeviceInfomation::sharedInstance()
{
    static const std::shared_ptr<DeviceInfomation> instance(new DeviceInfomation);
    return instance;
}

DeviceInfomation::DeviceInfomation()
    : m_deviceName(getDeviceName()), m_deviceIPAddress(getDeviceIPAddress()),
      m_deviceMACAddress(getDeviceMacAddress())
{}

namespace {

// Undoes the quoting of a shell-style value: "double quoted" with backslash escapes, 'single quoted', or
// bare with backslash escapes.
QString unquote(const QByteArray &raw)
{
    QByteArray out;
    char quote = 0;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const char c = raw.at(i);
        if (quote == '\'' ? c == '\'' : quote == '"' ? c == '"' : c == '"' || c == '\'')
            quote = quote ? 0 : c;
        else if (c == '\\' && quote != '\'' && i + 1 < raw.size())
            out += raw.at(++i);
        else
            out += c;
    }
    return QString::fromUtf8(out);
}

} // namespace

QString DeviceInfomation::prettyHostNameFromMachineInfo(const QByteArray &contents)
{
    QString found;
    for (const QByteArray &line : contents.split('\n')) {
        const QByteArray trimmed = line.trimmed();
        // A later assignment overrides an earlier one, as when the file is sourced.
        if (trimmed.startsWith("PRETTY_HOSTNAME="))
            found = unquote(trimmed.mid(static_cast<qsizetype>(sizeof("PRETTY_HOSTNAME=") - 1)));
    }
    return found.isEmpty() ? QString() : found;
}

QString DeviceInfomation::getDeviceName()
{
    QFile machineInfo(QStringLiteral("/etc/machine-info"));
    if (machineInfo.open(QIODevice::ReadOnly))
        if (const QString pretty = prettyHostNameFromMachineInfo(machineInfo.readAll()); !pretty.isNull())
            return pretty;
    const QString host = QSysInfo::machineHostName();
    return host.isEmpty() ? QString() : host;
}

QString DeviceInfomation::getDeviceIPAddress()
{
    QString address = QString::fromLatin1(IPAddressErrorText);
    // Qt lists an interface's addresses in the system's order; the last IPv4 one wins, as it always has for
    // this identity.
    const QNetworkInterface primary =
        QNetworkInterface::interfaceFromName(platform::PrimaryInterface::name());
    for (const QNetworkAddressEntry &entry : primary.addressEntries())
        if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol)
            address = entry.ip().toString();
    qInfo().noquote() << (QStringLiteral("手机的IP是：%1").arg(address));
    return address;
}

QString DeviceInfomation::getDeviceMacAddress()
{
    // The messages keep the texts this identity has always printed, slash-n and all.
    const QString name = platform::PrimaryInterface::name();
    const QNetworkInterface primary = QNetworkInterface::interfaceFromName(name);
    // Qt writes a six-byte address as six upper-case hex pairs; anything else is no Ethernet-style address.
    const QString hardware = primary.hardwareAddress();
    if (QNetworkInterface::interfaceIndexFromName(name) == 0)
        std::printf("Error: if_nametoindex error/n");
    else if (!primary.isValid())
        std::printf("Error: getifaddrs error/n");
    else if (hardware.size() != 17)
        std::printf("Error: no link-level address/n");
    else
        return hardware.toLower();
    std::fflush(stdout);
    return {};
}
