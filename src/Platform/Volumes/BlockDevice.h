#pragma once

#include <QString>
#include <cstdint>
#include <sys/types.h>

namespace platform {

// What the kernel tells anyone about the block device behind a mount, through sysfs: no device node is
// opened, so nothing here needs rights or can block.
class BlockDevice
{
public:
    // The device node ("/dev/sdb1"): the mount's source when it names one, else the kernel's name for the
    // device number; empty for a file system without a block device.
    static QString nodeFor(dev_t device, const QString &source);
    // "major:minor", as the kernel writes a device number.
    static QString numberText(dev_t device);
    // The device's size in bytes; 0 when unknown.
    static uint64_t capacity(dev_t device);
};

} // namespace platform
