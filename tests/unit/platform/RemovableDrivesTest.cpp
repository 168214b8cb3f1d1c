#include "Platform/Volumes/RemovableDrives.h"

#include <QStringList>
#include <gtest/gtest.h>
#include <sys/sysmacros.h>

using namespace platform;
using Record = BlockDevice::Record;
using State = BlockDevice::Contents::State;

namespace {

// The devices of a machine with one of every kind of drive, as the device list reports them.
class FakeSystem
{
public:
    FakeSystem()
    {
        // Room for all: the builders hand out references into the list.
        devices.reserve(64);
        // The internal SATA disk.
        Record &sda = disk("sda", makedev(8, 0), 1'000'215'216);
        sda.model = "Samsung SSD 860";
        partition(sda, 1, 1'000'000);
        // A stick the desktop mounted for its user.
        Record &sdb = disk("sdb", makedev(8, 16), 30'031'872);
        sdb.removable = sdb.usb = true;
        sdb.vendor = "SanDisk";
        sdb.model = "Cruzer Blade";
        partition(sdb, 1, 30'029'824).contents.fileSystem = "vfat";
        // A stick already below /Volumes: the drive list offers it.
        Record &sdc = disk("sdc", makedev(8, 32), 15'000'000);
        sdc.removable = sdc.usb = true;
        partition(sdc, 1, 14'999'000);
        // A card reader without a card.
        disk("sdd", makedev(8, 48), 0).removable = true;
        // A USB SSD, which the kernel does not mark removable, formatted without a partition table.
        Record &sde = disk("sde", makedev(8, 64), 976'773'168);
        sde.usb = true;
        sde.vendor = "Samsung";
        sde.model = "Portable SSD T5";
        sde.contents.fileSystem = "exfat";
        sde.contents.label = "T5 Data";
        // The stick this system started from, through a mapped device.
        Record &sdf = disk("sdf", makedev(8, 80), 62'521'344);
        sdf.removable = true;
        partition(sdf, 1, 62'500'000);
        disk("dm-0", makedev(254, 0), 62'400'000).below = QStringList{"sdf1"};
        // An extended partition's container, swap, a volume not probed yet, and two volumes, one numbered
        // past nine, one labelled with bytes that are not UTF-8.
        Record &sdg = disk("sdg", makedev(8, 96), 7'000'000);
        sdg.removable = true;
        partition(sdg, 1, 2);
        partition(sdg, 2, 1'000'000).contents.usage = "other";
        partition(sdg, 10, 1'000'000).contents.label = "\xff"
                                                       "DATA";
        partition(sdg, 5, 2'000'000).contents.label = "BACKUP";
        partition(sdg, 6, 1'000'000).contents.state = State::Pending;
        // Mounted only at a hidden mount point below /Volumes.
        Record &sdh = disk("sdh", makedev(8, 112), 2'000'000);
        sdh.usb = true;
        partition(sdh, 1, 1'990'000);
        // A memory card this user may not read, and the eMMC the system is built with.
        Record &card = disk("mmcblk0", makedev(179, 0), 62'333'952);
        card.cardType = "SD";
        card.model = "SD32G";
        card.contents.state = State::NotPermitted;
        disk("mmcblk1", makedev(179, 8), 30'535'680).cardType = "MMC";
        // A loop device and a virtual disk.
        disk("loop0", makedev(7, 0), 131'072);
        disk("vda", makedev(254, 16), 41'943'040);

        mounts = {mount("/", makedev(254, 0), "/dev/mapper/root"),
                  mount("/media/anna/SANDISK", makedev(8, 17), "/dev/sdb1"),
                  mount("/Volumes/USB", makedev(8, 33), "/dev/sdc1"),
                  mount("/Volumes/.hidden", makedev(8, 113), "/dev/sdh1")};
    }

    static MountEntry mount(const QByteArray &point, dev_t device, const QString &source)
    {
        MountEntry entry;
        entry.mountPointBytes = point;
        entry.mountPoint = QString::fromUtf8(point);
        entry.device = device;
        entry.source = source;
        return entry;
    }

    QStringList names(const QStringList &alsoRemovable = {}) const
    {
        QStringList found;
        for (const auto &drive : RemovableDrives::select(devices, mounts, alsoRemovable))
            found << drive.device;
        return found;
    }

    std::vector<Record> devices;
    std::vector<MountEntry> mounts;

private:
    Record &disk(const QString &name, dev_t number, uint64_t sectors)
    {
        Record device;
        device.name = device.disk = name;
        device.node = "/dev/" + name;
        device.number = number;
        device.capacity = sectors * 512;
        device.contents.state = State::Known;
        device.contents.usage = "filesystem";
        devices.push_back(device);
        return devices.back();
    }

    // A partition has its disk's attributes, as the device list copies them.
    Record &partition(const Record &disk, int number, uint64_t sectors)
    {
        Record device = disk;
        device.name = disk.name + QString::number(number);
        device.node = disk.node + QString::number(number);
        device.number = disk.number + static_cast<dev_t>(number);
        device.partition = number;
        device.capacity = sectors * 512;
        device.below.clear();
        devices.push_back(device);
        return devices.back();
    }
};

} // namespace

// Which drives are named beside the drive list, and why each is not offered: only removable drives (marked,
// on USB, or a memory card) with a medium and a file system, not the start-up disk (even through a mapped
// device), and not what the list offers already; a volume not probed yet waits, one that could not be read
// is named with what is known.
TEST(RemovableDrives, NamesTheDrivesTheListDoesNotOfferAndWhy)
{
    FakeSystem system;
    const auto drives = RemovableDrives::select(system.devices, system.mounts, {});
    EXPECT_EQ(system.names().join(' '), "/dev/mmcblk0 /dev/sdb1 /dev/sde /dev/sdg5 /dev/sdg10 /dev/sdh1");
    ASSERT_EQ(drives.size(), 6u);

    const auto &card = drives[0];
    EXPECT_EQ(card.reason, RemovableDrives::Reason::NotMounted);
    EXPECT_EQ(card.model, "SD32G");
    EXPECT_EQ(card.capacity, 62'333'952ull * 512);
    EXPECT_EQ(card.contents.state, State::NotPermitted);
    EXPECT_TRUE(card.name().isEmpty()) << "no label, no mount point";

    const auto &stick = drives[1];
    EXPECT_EQ(stick.reason, RemovableDrives::Reason::MountedElsewhere);
    EXPECT_EQ(stick.mountPoint, "/media/anna/SANDISK");
    EXPECT_EQ(stick.name(), "SANDISK");
    EXPECT_EQ(stick.disk, "/dev/sdb");
    EXPECT_EQ(stick.deviceNumber, makedev(8, 17));
    EXPECT_EQ(stick.capacity, 30'029'824ull * 512);
    EXPECT_EQ(stick.vendor + " " + stick.model, "SanDisk Cruzer Blade");
    EXPECT_EQ(stick.contents.fileSystem, "vfat");

    const auto &ssd = drives[2];
    EXPECT_EQ(ssd.reason, RemovableDrives::Reason::NotMounted);
    EXPECT_EQ(ssd.name(), "T5 Data");
    EXPECT_EQ(ssd.contents.fileSystem, "exfat");
    EXPECT_EQ(ssd.disk, "/dev/sde");
    EXPECT_EQ(drives[3].name(), "BACKUP");
    EXPECT_EQ(drives[4].contents.label, QByteArray("\xff"
                                                   "DATA"))
        << "the label keeps its bytes";
    EXPECT_EQ(drives[4].name(), QString(QChar::ReplacementCharacter) + "DATA");

    const auto &hidden = drives[5];
    EXPECT_EQ(hidden.reason, RemovableDrives::Reason::MountedElsewhere);
    EXPECT_EQ(hidden.mountPath(), "/Volumes/.hidden");

    // Mounted below /Volumes as well, the stick is offered and no longer named here; a loop device counts
    // only when named removable; once probed, the pending volume is named.
    system.mounts = {FakeSystem::mount("/", makedev(254, 0), "/dev/mapper/root"),
                     FakeSystem::mount("/media/anna/SANDISK", makedev(8, 17), "/dev/sdb1"),
                     FakeSystem::mount("/Volumes/SANDISK", makedev(8, 17), "/dev/sdb1")};
    for (Record &device : system.devices)
        if (device.name == "sdg6")
            device.contents.state = State::Known;
    const QStringList later = system.names({"loop0"});
    EXPECT_FALSE(later.contains("/dev/sdb1"));
    EXPECT_TRUE(later.contains("/dev/sdh1")) << "no longer mounted: " << later.join(' ').toStdString();
    EXPECT_TRUE(later.contains("/dev/loop0"));
    EXPECT_TRUE(later.contains("/dev/sdg6"));

    // Started from the internal disk instead, the stick it used to start from is a drive like any other.
    system.mounts = {FakeSystem::mount("/", makedev(8, 1), "/dev/sda1")};
    const QStringList fromInternal = system.names();
    EXPECT_TRUE(fromInternal.contains("/dev/sdf1")) << fromInternal.join(' ').toStdString();
    EXPECT_FALSE(fromInternal.contains("/dev/sda1"));
}

// What the system reports, as people read it: bus names and numeric ids are no makers, a memory card names
// its product, and udev's escaped label comes back as the label's bytes.
TEST(BlockDevice, ReadsMakersModelsAndLabelsAsReported)
{
    EXPECT_EQ(BlockDevice::reportedVendor("SanDisk "), "SanDisk");
    EXPECT_EQ(BlockDevice::reportedVendor("ATA     "), "") << "the bus, not a maker";
    EXPECT_EQ(BlockDevice::reportedVendor("0x1af4"), "") << "a numeric id, not a maker";
    EXPECT_EQ(BlockDevice::reportedVendor("Bad\x01Name"), "");
    EXPECT_EQ(BlockDevice::reportedModel("Samsung SSD 860 ", "x"), "Samsung SSD 860");
    EXPECT_EQ(BlockDevice::reportedModel("", "SD32G"), "SD32G");

    EXPECT_EQ(BlockDevice::decodeUdevText("T5\\x20Data"), "T5 Data");
    EXPECT_EQ(BlockDevice::decodeUdevText("\\xff\\xFE\xc3\xa9"), QByteArray("\xff\xfe\xc3\xa9"));
    EXPECT_EQ(BlockDevice::decodeUdevText("a\\x5cx41"), "a\\x41") << "a decoded backslash starts nothing";
    EXPECT_EQ(BlockDevice::decodeUdevText("\\x4 \\xg1 \\x+1 end\\x4"), "\\x4 \\xg1 \\x+1 end\\x4");
    EXPECT_EQ(BlockDevice::numberText(makedev(8, 17)), "8:17");
}
