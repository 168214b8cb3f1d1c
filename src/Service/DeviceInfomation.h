#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

// The identity of this computer that every catalog request carries: its user-visible name, and the IPv4
// and hardware addresses of the primary interface "en0" (on Linux the interface PrimaryInterface picks for
// it). Taken once per process, when the shared instance is first asked for. A null text means the value is
// missing.
class DeviceInfomation
{
public:
    static constexpr const char *IPAddressErrorText = "an error occurred when obtaining ip address";

    // The one instance; the first call runs the three queries, concurrent first callers wait for them. The
    // values are read and set without a lock, as the service client does on the GUI thread.
    static std::shared_ptr<DeviceInfomation> sharedInstance();

    QString deviceName() const { return m_deviceName; }
    void setDeviceName(const QString &name) { m_deviceName = name; }
    QString deviceIPAddress() const { return m_deviceIPAddress; }
    void setDeviceIPAddress(const QString &address) { m_deviceIPAddress = address; }
    QString deviceMACAddress() const { return m_deviceMACAddress; }
    void setDeviceMACAddress(const QString &address) { m_deviceMACAddress = address; }

    // The user-visible host name: the pretty host name that `hostnamectl set-hostname --pretty` stores in
    // /etc/machine-info, else the machine's host name; null when the system has neither.
    static QString getDeviceName();
    // The last IPv4 address of the primary interface in the system's list, else IPAddressErrorText. Logs
    // the result.
    static QString getDeviceIPAddress();
    // The primary interface's hardware address as six lower-case hex pairs joined by colons; null (with a
    // message on standard output) when it cannot be read.
    static QString getDeviceMacAddress();
    // PRETTY_HOSTNAME from the contents of a machine-info file (shell-style assignments); null when absent
    // or empty.
    static QString prettyHostNameFromMachineInfo(const QByteArray &contents);

private:
    DeviceInfomation();

    // The values are set once at creation; the setters exist for callers that know better (tests).
    QString m_deviceName;
    QString m_deviceIPAddress;
    QString m_deviceMACAddress;
};
