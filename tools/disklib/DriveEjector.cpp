#include "disklib/DriveEjector.h"

#include "Platform/Posix/MountPointLock.h"
#include "disklib/DiskDevice.h"
#include "disklib/SignalBlocker.h"
#include "disklib/Unmounter.h"
#include "disklib/VolumePath.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace disktools {

std::string DriveEjector::diskName() const
{
    return DiskDevice::name(m_diskPath);
}

bool DriveEjector::prepare(const std::string &argument, std::string &error)
{
    const auto entries = posix::MountInfo::read();
    dev_t device = 0;
    char resolved[PATH_MAX];
    if (argument.empty()) {
        error = "no mount point or device given";
        return false;
    }
    if (!(::realpath(argument.c_str(), resolved) && DiskDevice::at(resolved, device))) {
        std::string mountPoint;
        if (!VolumePath::resolveMountPoint(argument, mountPoint, error, "eject", "ejected"))
            return false;
        const auto entry = posix::MountInfo::at(entries, mountPoint);
        if (!entry) {
            error = "no volume is mounted at \"" + argument + "\"";
            return false;
        }
        if (DiskDevice::nodeOfMount(*entry, device).empty()) {
            error = "\"" + argument + "\" is not on a disk (its file system is " + entry->fsType + ")";
            return false;
        }
    }
    const dev_t disk = DiskDevice::diskOf(device);
    m_diskPath = DiskDevice::nodeOf(disk);
    if (m_diskPath.empty()) {
        error = "cannot find the disk of \"" + argument + "\"";
        return false;
    }
    if (DiskDevice::onStartupDisk(disk, entries)) {
        error = "refusing to eject " + diskName() + ": it is the start-up disk";
        return false;
    }
    m_mounts.clear();
    const std::string volumes = VolumePath::volumesRoot() + "/";
    for (const auto &entry : entries) {
        // A mount of the disk or of any of its partitions.
        dev_t mounted = 0;
        if (DiskDevice::nodeOfMount(entry, mounted).empty() || DiskDevice::diskOf(mounted) != disk)
            continue;
        if (entry.mountPoint.compare(0, volumes.size(), volumes) != 0) {
            error = "refusing to eject " + diskName() + ": it is also mounted at \"" + entry.mountPoint +
                    "\", outside /Volumes";
            return false;
        }
        m_mounts.push_back(entry);
    }
    return true;
}

bool DriveEjector::eject(const Observer &observer, std::string &error)
{
    SignalBlocker holdSignals;
    std::vector<posix::MountEntry> unmounted;
    if (!Unmounter::unmountAll(m_mounts, unmounted, error, observer.unmounting)) {
        error += "; close what uses it and try again; " + diskName() + " was not ejected";
        return false;
    }
    {
        const posix::MountPointLock lock(VolumePath::volumesRoot());
        for (const auto &old : unmounted)
            ::rmdir(old.mountPoint.c_str());
    }

    // Unmounting wrote out the file systems; what the disk itself still caches goes now, so the drive holds
    // everything when it is pulled out.
    if (observer.flushing)
        observer.flushing();
    const int fd = ::open(m_diskPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0 || ::ioctl(fd, BLKFLSBUF, 0) != 0) {
        error = "could not write out what " + diskName() + " still caches (" + std::strerror(errno) +
                "); its volumes are unmounted, but wait a moment before removing it";
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    ::close(fd);
    return true;
}

} // namespace disktools
