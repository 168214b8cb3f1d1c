#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

// The computer's names as the user sees them.
class HostInfo
{
public:
    // The user-visible name: the pretty host name that `hostnamectl set-hostname --pretty` stores in
    // /etc/machine-info, else the kernel's host name. Nothing (a null text) when the system has neither.
    static QString localizedName();
    // PRETTY_HOSTNAME from the contents of a machine-info file (shell-style assignments); null when absent
    // or empty.
    static QString prettyHostNameFromMachineInfo(const QByteArray &contents);
};

} // namespace platform
