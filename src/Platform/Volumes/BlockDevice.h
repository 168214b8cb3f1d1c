#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <sys/types.h>
#include <vector>

namespace platform {

// The block devices as the system knows them, through libudev: the kernel's attributes of each device and,
// where udev has a record of it, what file system it holds. Nothing here opens a device node, so nothing
// needs rights or can block on a drive; DeviceMonitor probes the devices udev has no record of.
class BlockDevice
{
public:
    // What a device holds.
    struct Contents
    {
        enum class State
        {
            Known,        // udev's record or a probe said (maybe that it holds nothing)
            Pending,      // not probed yet
            NotPermitted, // this process may not open the node
            Unreadable,   // opening or reading it failed: `failure`
        };
        State state = State::Pending;
        QString fileSystem; // "vfat", "ext4"…
        QString usage;      // "filesystem", "other" (swap), "raid", "crypto"
        QByteArray label;   // its bytes, which need not be UTF-8
        QString failure;

        bool operator==(const Contents &) const = default;
    };

    // One device in plain values, so that which drives count is a pure function of them.
    struct Record
    {
        QString name; // the kernel's name: "sdb1"
        QString node; // "/dev/sdb1"
        dev_t number = 0;
        QString disk;          // the whole disk's kernel name: "sdb" (its own for a disk)
        int partition = 0;     // the partition's number; 0 for a whole disk
        uint64_t capacity = 0; // bytes; 0 for a disk without a medium
        QString sequence;      // the disk's medium: a new one (a loop device attached again) counts anew
        // Of the whole disk:
        bool removable = false; // the kernel marks it so
        bool usb = false;       // attached over USB
        QString cardType;       // a memory card's "SD", an eMMC's "MMC"
        bool hidden = false;
        QString vendor; // "SanDisk"; empty when unknown
        QString model;  // "Cruzer Blade"; empty when unknown
        // Of this device: the devices its data lies on, for a mapped one (LVM, encryption): kernel names.
        QStringList below;
        Contents contents;

        // The same device with the same medium and layout: its contents need no new look.
        bool sameMedium(const Record &other) const;
    };

    // Every block device, in no particular order.
    static std::vector<Record> list();
    // The device with that number; none for a file system without a block device (btrfs and others report
    // an anonymous number).
    static std::optional<Record> read(dev_t device);

    // "major:minor", as the kernel writes a device number.
    static QString numberText(dev_t device);

    // What the drive reports as its maker and model, as people read them: bus names ("ATA") and numeric
    // ids ("0x1af4") are not makers and count as unknown; a memory card names its product instead of a
    // model.
    static QString reportedVendor(const QByteArray &vendor);
    static QString reportedModel(const QByteArray &model, const QByteArray &cardName);
    // udev writes the bytes of a label that are unsafe in its records as \xHH (ID_FS_LABEL_ENC); libudev
    // has no decoder.
    static QByteArray decodeUdevText(const QByteArray &value);
};

} // namespace platform
