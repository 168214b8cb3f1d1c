#pragma once

#include "Platform/Volumes/BlockDevice.h"
#include "Platform/Volumes/MountTable.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <sys/types.h>
#include <vector>

namespace platform {

// The removable drives the drive list does not offer: their volumes are mounted somewhere other than below
// /Volumes (a desktop mounts sticks under /media/<user> or /run/media/<user>), or not mounted at all. Each
// can be brought to the list by mounting it below /Volumes ("diskutil mount <device>").
//
// A drive counts as removable when the kernel marks its disk removable, when the disk is attached over USB
// (USB hard disks and SSDs are not marked), or when it is a memory card. Left out: disks without a medium (an
// empty card reader), the disk that holds the start-up volume (also below a mapped device), volumes the
// drive list already offers, and volumes that hold no file system (an extended partition's container, swap,
// an encrypted or RAID member). Which ones count is a pure function of the devices' plain attributes and the
// mount table (select()).
class RemovableDrives
{
public:
    enum class Reason
    {
        MountedElsewhere, // mounted, but not where the drive list looks (or at a hidden mount point)
        NotMounted,
    };

    // One volume: a partition of a removable disk, or the disk itself when it has no partitions.
    struct Drive
    {
        QString device; // the node: "/dev/sdb1"
        dev_t deviceNumber = 0;
        QString disk;          // the whole disk's node: "/dev/sdb"
        uint64_t capacity = 0; // bytes
        QString vendor;        // "SanDisk"; empty when unknown
        QString model;         // "Cruzer Blade"; empty when unknown
        // Its file system and label, or why the device could not be read.
        BlockDevice::Contents contents;
        QByteArray mountPoint; // where it is mounted (the file system's bytes); empty when it is not
        Reason reason = Reason::NotMounted;

        // What to call it: the label (bytes that are not UTF-8 shown as replacement characters), else its
        // mount point's folder name; empty when neither is known.
        QString name() const;
        // The mount point as text.
        QString mountPath() const;
    };

    // The drives not offered among the devices, by disk name and then partition number. `alsoRemovable`
    // names disks (kernel names, "loop3") that count as removable whatever the kernel says. Volumes not
    // probed yet are left out until they are.
    static std::vector<Drive> select(const std::vector<BlockDevice::Record> &devices,
                                     const std::vector<MountEntry> &mounts, const QStringList &alsoRemovable);
    // The disks named in BOOTDRIVE_REMOVABLE_DEVICES (nodes or kernel names, separated by blanks or commas):
    // for tests, whose loop devices the kernel never marks removable, and for readers it does not mark.
    static QStringList alsoRemovable();
    // This machine's drives not offered now, every device probed in the calling thread where udev has no
    // record of it (for the command line).
    static std::vector<Drive> list();
};

} // namespace platform
