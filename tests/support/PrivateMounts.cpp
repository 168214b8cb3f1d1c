#include "support/PrivateMounts.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace testsupport {

namespace {

bool g_ready = false;
QString g_reason = QStringLiteral("the private mount namespace was never set up");

QString failure(const char *what)
{
    return QStringLiteral("%1 failed: %2")
        .arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

void PrivateMounts::enter()
{
    if (g_ready)
        return;
    if (geteuid() != 0) {
        g_reason = QStringLiteral("needs root");
        return;
    }
    const char *setting = std::getenv("BOOTDRIVE_TEST_PRIVATE_MOUNTS");
    if (setting && std::strcmp(setting, "0") == 0) {
        g_reason = QStringLiteral("private mounts turned off (BOOTDRIVE_TEST_PRIVATE_MOUNTS=0)");
        return;
    }
    if (unshare(CLONE_NEWNS) != 0) {
        g_reason = failure("unshare(CLONE_NEWNS)");
        return;
    }
    // Until every mount is private, a mount here could still propagate to the host: mount nothing then.
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        g_reason = failure("making / private");
        return;
    }
    if (mkdir("/Volumes", 0755) != 0 && errno != EEXIST) {
        g_reason = failure("mkdir /Volumes");
        return;
    }
    if (mount("bootdrive-volumes", "/Volumes", "tmpfs", MS_NOSUID | MS_NODEV, "mode=0755") != 0) {
        g_reason = failure("mounting a tmpfs on /Volumes");
        return;
    }
    g_ready = true;
    g_reason.clear();
}

bool PrivateMounts::ready()
{
    return g_ready;
}

QString PrivateMounts::skipReason()
{
    return g_reason;
}

} // namespace testsupport
