// Reads the device identity inside a private network namespace that it sets up first.
// Usage: service-identity-probe RESULT_FILE [SETUP_COMMAND...]
// Exit 77: no network namespace could be made; 78: a setup command failed. Standard output carries only
// what the identity itself prints.
#include "Service/DeviceInfomation.h"

#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sched.h>

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s RESULT_FILE [SETUP_COMMAND...]\n", argv[0]);
        return 2;
    }
    if (::unshare(CLONE_NEWNET) != 0) {
        std::fprintf(stderr, "unshare(CLONE_NEWNET): %s\n", std::strerror(errno));
        return 77;
    }
    for (int i = 2; i < argc; ++i) {
        if (std::system(argv[i]) != 0) {
            std::fprintf(stderr, "setup failed: %s\n", argv[i]);
            return 78;
        }
    }
    const auto first = DeviceInfomation::sharedInstance();
    const auto second = DeviceInfomation::sharedInstance();
    const QString mac = first->deviceMACAddress();
    QFile result(QString::fromLocal8Bit(argv[1]));
    if (!result.open(QIODevice::WriteOnly))
        return 3;
    result.write(QStringLiteral("same=%1\nip=%2\nmac=%3\nname=%4\n")
                     .arg(first == second ? 1 : 0)
                     .arg(first->deviceIPAddress(), mac.isNull() ? QStringLiteral("(nothing)") : mac,
                          first->deviceName())
                     .toUtf8());
    return 0;
}
