#include "HeldVolume.h"

#include "Platform/Posix/MountInfo.h"
#include "Platform/Posix/MountPointLock.h"
#include "Platform/Posix/VolumeMountPoint.h"
#include "disklib/VolumePath.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

bool HeldVolume::identify(int dirFd, const char *path, int flags, Identity &identity)
{
    struct statx info
    {};
    if (statx(dirFd, path, flags, STATX_INO | STATX_MNT_ID, &info) != 0 || !(info.stx_mask & STATX_INO))
        return false;
    identity.device = makedev(info.stx_dev_major, info.stx_dev_minor);
    identity.inode = info.stx_ino;
    identity.mountId = (info.stx_mask & STATX_MNT_ID) ? info.stx_mnt_id : 0;
    return true;
}

bool HeldVolume::open(const std::string &mountPoint, dev_t device, std::string &error)
{
    m_mountPoint = mountPoint;
    m_fd.reset(::open(mountPoint.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!m_fd || !identify(m_fd.get(), "", AT_EMPTY_PATH, m_identity)) {
        error = "cannot open the new volume at \"" + mountPoint + "\": " + std::strerror(errno);
        return false;
    }
    // Between the mount and the open the volume may already be gone, and the path lead to the folder below.
    const auto entry = posix::MountInfo::at(posix::MountInfo::read(), mountPoint);
    if (m_identity.device != device || !entry || entry->device != device || entry->root != "/" ||
        (m_identity.mountId != 0 && static_cast<uint64_t>(entry->id) != m_identity.mountId)) {
        error = "the erased disk is no longer mounted at \"" + mountPoint + "\"";
        return false;
    }
    return true;
}

bool HeldVolume::stillMounted(std::string &error) const
{
    // The held mount keeps its id while this descriptor lives, so no other mount can take it meanwhile.
    Identity now;
    if (identify(AT_FDCWD, m_mountPoint.c_str(), AT_SYMLINK_NOFOLLOW, now) &&
        now.device == m_identity.device && now.inode == m_identity.inode && now.mountId == m_identity.mountId)
        return true;
    error = "the volume at \"" + m_mountPoint +
            "\" was unmounted or replaced while the installer was put on it (ejected or pulled out); "
            "the installer media is incomplete";
    return false;
}

void HeldVolume::removeFolderIfLeft() const
{
    std::string gone;
    if (m_mountPoint.empty() || stillMounted(gone))
        return;
    const posix::MountPointLock lock(disktools::VolumePath::volumesRoot());
    posix::VolumeMountPoint::release(lock, m_mountPoint);
}
