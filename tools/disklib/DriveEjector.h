#pragma once

#include "Platform/Posix/MountInfo.h"

#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace disktools {

// Ejects a drive: every volume of its disk comes off its mount point below /Volumes, the emptied mount
// point folders go, and what the disk still caches is written out, after which it can be pulled out. A
// drive with a volume mounted anywhere else, and the start-up disk, are refused before anything changes.
class DriveEjector
{
public:
    struct Observer
    {
        std::function<void(const std::string &mountPoint)> unmounting;
        std::function<void()> flushing;
    };

    // The argument is a mount point below /Volumes or a device node (a partition stands for its disk).
    // Finds the disk and every mount of it and checks them. Changes nothing.
    bool prepare(const std::string &argument, std::string &error);
    // Needs root. On failure every volume is mounted again where it was.
    bool eject(const Observer &observer, std::string &error);

    // "/dev/sdb", "sdb".
    const std::string &diskPath() const { return m_diskPath; }
    std::string diskName() const;

private:
    std::string m_diskPath;
    std::vector<posix::MountEntry> m_mounts; // every mount of the disk's devices, in mount order
};

} // namespace disktools
