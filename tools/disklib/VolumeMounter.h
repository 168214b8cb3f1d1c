#pragma once

#include "Platform/Posix/FileDescriptor.h"
#include "Platform/Posix/MountInfo.h"

#include <functional>
#include <optional>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace disktools {

// Mounts a volume below /Volumes, where the application looks for drives: at /Volumes/<its label> (or
// "<label> 1", … while that is taken), or under the full name a BootDrive drive keeps of itself. A volume
// mounted elsewhere (a desktop mounts sticks below /media) is taken off there once it is mounted below
// /Volumes, and only when nothing holds it there; otherwise everything stays as it was. Everything that can
// be checked without rights is checked in prepare().
class VolumeMounter
{
public:
    struct Observer
    {
        std::function<void(const std::string &mountPoint)> unmounting;
        std::function<void(const std::string &text)> note;
    };

    // Checks that the argument names a block device that is not part of the start-up disk, and finds its
    // mounts. Changes nothing.
    bool prepare(const std::string &deviceArgument, std::string &error);
    // Where the volume is mounted below /Volumes already; empty when it is not.
    const std::string &listedMountPoint() const { return m_listedMountPoint; }
    // Who may write to a file system that has no owners of its own (FAT, exFAT, NTFS): the user who asked.
    void setOwner(uid_t uid, gid_t gid) { m_owner = std::make_pair(uid, gid); }
    // Names the volume, mounts it below /Volumes and takes it off everywhere else. Needs root.
    bool mount(const Observer &observer, std::string &error);

    const std::string &devicePath() const { return m_devicePath; }
    std::string deviceName() const;
    // After mount(): the volume's name, where it went and its file system.
    const std::string &name() const { return m_name; }
    const std::string &mountPoint() const { return m_mountPoint; }
    const std::string &fileSystemType() const { return m_fileSystemType; }

private:
    using Options = std::vector<std::pair<std::string, std::string>>;
    // The volume mounted where nothing sees it yet (the new mount API), so that the full name kept on it
    // can be read before its mount point is chosen.
    posix::FileDescriptor mountDetached(const std::string &type, const Observer &observer,
                                        std::string &error);
    bool mountAgain(const posix::MountEntry &existing, std::string &error);
    Options mountOptions(const std::string &type) const;

    std::string m_devicePath;
    dev_t m_device = 0;
    std::vector<posix::MountEntry> m_elsewhere; // its mounts outside /Volumes, in mount order
    std::string m_listedMountPoint;
    std::optional<std::pair<uid_t, gid_t>> m_owner;
    std::string m_name;
    std::string m_mountPoint;
    std::string m_fileSystemType;
};

} // namespace disktools
