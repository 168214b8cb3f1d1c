#include "disklib/Unmounter.h"

#include "disklib/DiskDevice.h"

#include <cerrno>
#include <cstring>
#include <sys/mount.h>
#include <unistd.h>

namespace disktools {

bool Unmounter::unmountPatiently(const std::string &mountPoint)
{
    constexpr int attempts = 50;
    for (int attempt = 0;; ++attempt) {
        if (::umount2(mountPoint.c_str(), UMOUNT_NOFOLLOW) == 0)
            return true;
        if (errno != EBUSY || attempt + 1 >= attempts)
            return false;
        ::usleep(100 * 1000);
    }
}

bool Unmounter::unmountAll(const std::vector<posix::MountEntry> &mounts,
                           std::vector<posix::MountEntry> &unmounted, std::string &error,
                           const std::function<void(const std::string &mountPoint)> &unmounting)
{
    unmounted.clear();
    for (auto it = mounts.rbegin(); it != mounts.rend(); ++it) {
        if (unmounting)
            unmounting(it->mountPoint);
        if (!unmountPatiently(it->mountPoint)) {
            const int code = errno;
            error = "could not unmount \"" + it->mountPoint + "\" (" + std::strerror(code) + ")" +
                    remount(unmounted);
            unmounted.clear();
            return false;
        }
        unmounted.push_back(*it);
    }
    return true;
}

std::string Unmounter::remount(const std::vector<posix::MountEntry> &unmounted)
{
    std::string report;
    for (auto it = unmounted.rbegin(); it != unmounted.rend(); ++it) {
        dev_t rdev = 0;
        const std::string node = DiskDevice::nodeOfMount(*it, rdev);
        if (!node.empty() && ::mount(node.c_str(), it->mountPoint.c_str(), it->fsType.c_str(),
                                     posix::MountInfo::flagsFromOptions(it->options), nullptr) == 0)
            report += "; the volume was mounted again at \"" + it->mountPoint + "\"";
        else
            report += "; the volume could not be mounted again at \"" + it->mountPoint + "\" (" +
                      std::strerror(node.empty() ? ENODEV : errno) + ")";
    }
    return report;
}

} // namespace disktools
