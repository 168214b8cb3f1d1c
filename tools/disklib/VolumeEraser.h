#pragma once

#include "Platform/Posix/MountInfo.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace posix {
class MountPointLock;
}

namespace disktools {

// Erases the disk behind a volume mounted below /Volumes and mounts the new, empty volume at
// /Volumes/<name>, or at "/Volumes/<name> 1", "… 2" while that is taken: unmount, a fresh file system (HFS+
// where this system can make and mount one, ext4 otherwise), mount. Everything that can be checked is
// checked in prepare(), before anything changes.
class VolumeEraser
{
public:
    enum class Stage
    {
        Unmounting,
        Erasing,
        Initialized,
        Mounting,
    };
    struct Observer
    {
        std::function<void(Stage)> stage;
        // Says what was chosen instead of HFS+; never a failure.
        std::function<void(const std::string &)> note;
    };

    // Validates the name and the mount point, finds the disk and every mount of it. Changes nothing.
    bool prepare(const std::string &mountPointArgument, const std::string &newName, std::string &error);
    // Journaled HFS+ ("JHFS+") where HFS+ is made; ext4 always has a journal.
    void setJournaled(bool journaled) { m_journaled = journaled; }
    // The owner of the new volume's top folder (root's otherwise).
    void setRootOwner(uid_t uid, gid_t gid) { m_owner = std::make_pair(uid, gid); }
    // Erases and mounts. On failure before the disk was formatted, the volume is mounted again where it was
    // and the message says so; after that, its old mount points go and the disk stays unmounted.
    bool erase(const Observer &observer, std::string &error);

    const std::string &devicePath() const { return m_devicePath; }
    std::string deviceName() const;
    dev_t device() const { return m_device; }
    uint64_t deviceBytes() const { return m_deviceBytes; }
    const std::string &mountPoint() const { return m_mountPoint; }
    const std::string &newName() const { return m_newName; }
    // Where the new volume goes: after prepare() where it would go now, after erase() where it went.
    const std::string &newMountPoint() const { return m_newMountPoint; }
    // "hfsplus" or "ext4" once erased.
    const std::string &fileSystemType() const { return m_fileSystemType; }

    // "64 MB", "16 GB": sizes the way disk tools print them (decimal units).
    static std::string sizeText(uint64_t bytes);

private:
    bool format(const Observer &observer, bool &oldVolumeIntact, std::string &error);
    bool mountNew(const char *type, int &mountErrno);
    void removeOldMountPoints(const posix::MountPointLock &lock);

    std::string m_devicePath;
    dev_t m_device = 0;
    uint64_t m_deviceBytes = 0;
    std::string m_mountPoint;
    std::vector<posix::MountEntry> m_mounts;    // every mount of the disk, in mount order
    std::vector<posix::MountEntry> m_unmounted; // those whose folders the new volume may take over
    std::string m_newName;
    std::string m_newMountPoint;
    std::string m_fileSystemType;
    bool m_journaled = false;
    std::optional<std::pair<uid_t, gid_t>> m_owner;
};

} // namespace disktools
