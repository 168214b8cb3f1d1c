#pragma once

#include <QString>
#include <cstdint>
#include <sys/types.h>

namespace platform {

// What the kernel tells anyone about the block device behind a mount, through sysfs: no device node is
// opened, so nothing here needs rights or can block. `sysRoot` is where sysfs is mounted ("/sys"); tests
// point it at a tree of their own.
class BlockDevice
{
public:
    // The device node ("/dev/sdb1"): the mount's source when it names one, else the kernel's name for the
    // device number; empty for a file system without a block device.
    static QString nodeFor(dev_t device, const QString &source);
    // "major:minor", as the kernel writes a device number.
    static QString numberText(dev_t device);
    // The device's size in bytes; 0 when unknown.
    static uint64_t capacity(dev_t device, const QString &sysRoot = QStringLiteral("/sys"));
    // The maker and the model the drive reports ("SanDisk", "Cruzer Blade"), for the device or the disk it
    // is a partition of; empty where the system does not know them. Bus names ("ATA") and numeric ids
    // ("0x1af4") are not makers and count as unknown.
    static QString vendor(dev_t device, const QString &sysRoot = QStringLiteral("/sys"));
    static QString model(dev_t device, const QString &sysRoot = QStringLiteral("/sys"));

    // The device's own sysfs folder with its links resolved (…/block/sdb/sdb1); empty when there is none.
    static QString sysfsFolder(dev_t device, const QString &sysRoot = QStringLiteral("/sys"));
    // The folder of the whole disk the sysfs folder belongs to: its parent for a partition, else itself.
    static QString diskFolder(const QString &folder);
    // One value of a sysfs folder ("size", "device/model"), trimmed; empty when missing.
    static QString attribute(const QString &folder, const QString &name);
};

} // namespace platform
