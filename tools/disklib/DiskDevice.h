#pragma once

#include "Platform/Posix/MountInfo.h"

#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

namespace disktools {

// Block devices as the tools see them: the node behind a mount, sizes, and which disk a device is part of,
// from libblkid and sysfs (which anyone may read) and the device nodes.
class DiskDevice
{
public:
    // The block device the path names (links followed); false when it names none.
    static bool at(const std::string &path, dev_t &rdev);
    // The node behind a mount: its source when that is the block device, else the node of the device
    // number; empty when the file system is on no block device.
    static std::string nodeOfMount(const posix::MountEntry &entry, dev_t &rdev);
    // "/dev/<kernel name>" of a device number; empty when there is none.
    static std::string nodeOf(dev_t device);
    // The size in bytes: from sysfs, else asked of the device (root only).
    static uint64_t size(const std::string &node, dev_t device);
    // Whether the mount is of the device: by its number, or by a source that is its node (btrfs and others
    // report an anonymous device number).
    static bool holdsMount(dev_t device, const posix::MountEntry &entry);
    // The whole disk a device belongs to: the disk of a partition, else the device itself.
    static dev_t diskOf(dev_t device);
    // Whether the device lies on a disk that holds the start-up volume "/" (through mapped devices too).
    static bool onStartupDisk(dev_t device, const std::vector<posix::MountEntry> &entries);
    // "sdb1" of "/dev/sdb1".
    static std::string name(const std::string &node);
};

} // namespace disktools
