#pragma once

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
// empty card reader), the disk that holds the start-up volume, volumes the drive list already offers, and
// partitions that hold no file system (an extended partition's container, swap, an encrypted or RAID member,
// where udev says so). Everything comes from sysfs, the mount table and udev's database, which anyone may
// read; nothing on a drive is opened, so listing is quick and needs no rights.
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
        QString label;         // the file system's label, where udev knows it
        QString fileSystem;    // "vfat", "exfat", "ext4"…, where udev knows it
        uint64_t capacity = 0; // bytes
        QString vendor;        // "SanDisk"; empty when unknown
        QString model;         // "Cruzer Blade"; empty when unknown
        QByteArray mountPoint; // where it is mounted (the file system's bytes); empty when it is not
        Reason reason = Reason::NotMounted;

        // What to call it: the label, else its mount point's folder name; empty when neither is known.
        QString name() const;
        // The mount point as text.
        QString mountPath() const;
    };

    // Where the facts come from. system() is this machine's, with the devices named in
    // BOOTDRIVE_REMOVABLE_DEVICES (nodes or kernel names, separated by blanks or commas) counted as
    // removable: for tests, whose loop devices the kernel never marks so, and for readers the kernel does not
    // mark.
    struct Sources
    {
        QString sysRoot = QStringLiteral("/sys");
        QString mountInfo = QStringLiteral("/proc/self/mountinfo");
        QString udevData = QStringLiteral("/run/udev/data");
        QStringList alsoRemovable; // kernel names ("loop3")

        static Sources system();
    };

    // The drives not offered, by disk name and then partition number, as the kernel lists them.
    static std::vector<Drive> list(const Sources &sources = Sources::system());
};

} // namespace platform
