#include "Platform/Volumes/RemovableDrives.h"

#include "Platform/Volumes/BlockDevice.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/sysmacros.h>

using namespace platform;

namespace {

// A sysfs tree as the kernel lays it out (devices below their buses, /sys/block and /sys/dev/block as links
// into it), a mount table and udev's records, for a machine with one of every kind of drive.
class FakeSystem
{
public:
    FakeSystem()
    {
        sys = m_dir.path() + "/sys";
        udev = m_dir.path() + "/udev";
        QDir().mkpath(udev);
        const QString pci = "/devices/pci0000:00";
        const QString usb = pci + "/0000:00:14.0/usb1";
        // The internal SATA disk; its bus stands where a maker would.
        disk("sda", 8, 0, pci + "/0000:00:17.0/ata1/host0/target0:0:0/0:0:0:0", "0", 1'000'215'216,
             {{"vendor", "ATA     "}, {"model", "Samsung SSD 860 "}});
        partition("sda", 1, 8, 1, 1'000'000);
        // A stick the desktop mounted for its user.
        disk("sdb", 8, 16, usb + "/1-1/1-1:1.0/host6/target6:0:0/6:0:0:0", "1", 30'031'872,
             {{"vendor", "SanDisk "}, {"model", "Cruzer Blade    "}});
        partition("sdb", 1, 8, 17, 30'029'824);
        // A stick already below /Volumes: the drive list offers it.
        disk("sdc", 8, 32, usb + "/1-2/1-2:1.0/host7/target7:0:0/7:0:0:0", "1", 15'000'000, {});
        partition("sdc", 1, 8, 33, 14'999'000);
        // A card reader without a card.
        disk("sdd", 8, 48, usb + "/1-3/1-3:1.0/host8/target8:0:0/8:0:0:0", "1", 0, {});
        // A USB SSD, which the kernel does not mark removable, formatted without a partition table.
        disk("sde", 8, 64, pci + "/0000:00:14.0/usb2/2-1/2-1:1.0/host9/target9:0:0/9:0:0:0", "0", 976'773'168,
             {{"vendor", "Samsung"}, {"model", "Portable SSD T5"}});
        record(8, 64,
               "E:ID_FS_USAGE=filesystem\nE:ID_FS_TYPE=exfat\nE:ID_FS_LABEL=T5_Data\n"
               "E:ID_FS_LABEL_ENC=T5\\x20Data\n");
        // The stick this system started from, through a mapped device.
        disk("sdf", 8, 80, usb + "/1-4/1-4:1.0/host10/target10:0:0/10:0:0:0", "1", 62'521'344, {});
        partition("sdf", 1, 8, 81, 62'500'000);
        disk("dm-0", 254, 0, "/devices/virtual", "0", 62'400'000, {});
        QFile::link(sys + "/block/sdf/sdf1", sys + "/block/dm-0/slaves/sdf1");
        // An extended partition's container, swap, and two volumes, numbered past nine.
        disk("sdg", 8, 96, usb + "/1-5/1-5:1.0/host11/target11:0:0/11:0:0:0", "1", 7'000'000, {});
        partition("sdg", 1, 8, 97, 2);
        partition("sdg", 2, 8, 98, 1'000'000);
        record(8, 98, "E:ID_FS_USAGE=other\nE:ID_FS_TYPE=swap\n");
        partition("sdg", 10, 8, 106, 1'000'000);
        partition("sdg", 5, 8, 101, 4'000'000);
        record(8, 101, "E:ID_FS_USAGE=filesystem\nE:ID_FS_TYPE=vfat\nE:ID_FS_LABEL=BACKUP\n");
        // Mounted only at a hidden mount point below /Volumes.
        disk("sdh", 8, 112, usb + "/1-6/1-6:1.0/host12/target12:0:0/12:0:0:0", "1", 2'000'000, {});
        partition("sdh", 1, 8, 113, 1'990'000);
        // A memory card, and the eMMC the system is built with.
        disk("mmcblk0", 179, 0, "/devices/platform/sdhci/mmc_host/mmc0/mmc0:aaaa", "0", 62'333'952,
             {{"type", "SD"}, {"name", "SD32G"}});
        disk("mmcblk1", 179, 8, "/devices/platform/emmc/mmc_host/mmc1/mmc1:0001", "0", 30'535'680,
             {{"type", "MMC"}, {"name", "DA4032"}});
        // A loop device and a virtual disk whose "vendor" is a number.
        disk("loop0", 7, 0, "/devices/virtual", "0", 131'072, {});
        disk("vda", 254, 16, pci + "/0000:00:02.0/virtio1", "0", 41'943'040, {{"vendor", "0x1af4"}});

        mountInfo = m_dir.path() + "/mountinfo";
        writeMounts("1 0 254:0 / / rw - ext4 /dev/mapper/root rw\n"
                    "30 1 8:17 / /media/anna/SANDISK rw,nosuid,nodev - vfat /dev/sdb1 rw\n"
                    "31 1 8:33 / /Volumes/USB rw - ext4 /dev/sdc1 rw\n"
                    "32 1 8:113 / /Volumes/.hidden rw - ext4 /dev/sdh1 rw\n");
    }

    RemovableDrives::Sources sources(const QStringList &alsoRemovable = {}) const
    {
        RemovableDrives::Sources sources;
        sources.sysRoot = sys;
        sources.mountInfo = mountInfo;
        sources.udevData = udev;
        sources.alsoRemovable = alsoRemovable;
        return sources;
    }

    void writeMounts(const QByteArray &text) const { write(mountInfo, text); }

    QString sys;
    QString udev;
    QString mountInfo;

private:
    static void write(const QString &path, const QByteArray &text)
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

    void device(const QString &folder, int major, int minor, qulonglong sectors)
    {
        write(folder + "/dev", QByteArray::number(major) + ":" + QByteArray::number(minor) + "\n");
        write(folder + "/size", QByteArray::number(sectors) + "\n");
        QDir().mkpath(sys + "/dev/block");
        QFile::link(folder, sys + "/dev/block/" + QString("%1:%2").arg(major).arg(minor));
    }

    void disk(const QString &name, int major, int minor, const QString &parent, const QByteArray &removable,
              qulonglong sectors, const QList<QPair<QString, QByteArray>> &attributes)
    {
        const QString folder = sys + parent + "/block/" + name;
        device(folder, major, minor, sectors);
        write(folder + "/removable", removable + "\n");
        QDir().mkpath(folder + "/slaves");
        for (const auto &[attribute, value] : attributes)
            write(sys + parent + "/" + attribute, value + "\n");
        // A disk's "device" is the bus device it hangs from.
        QFile::link(sys + parent, folder + "/device");
        QDir().mkpath(sys + "/block");
        QFile::link(folder, sys + "/block/" + name);
    }

    void partition(const QString &disk, int number, int major, int minor, qulonglong sectors)
    {
        const QString folder =
            QFileInfo(sys + "/block/" + disk).canonicalFilePath() + "/" + disk + QString::number(number);
        device(folder, major, minor, sectors);
        write(folder + "/partition", QByteArray::number(number) + "\n");
    }

    void record(int major, int minor, const QByteArray &text)
    {
        write(udev + QString("/b%1:%2").arg(major).arg(minor), text);
    }

    QTemporaryDir m_dir;
};

QStringList devices(const std::vector<RemovableDrives::Drive> &drives)
{
    QStringList names;
    for (const auto &drive : drives)
        names << drive.device;
    return names;
}

} // namespace

// Which drives are named beside the drive list, and why each is not offered: only removable drives (marked,
// on USB, or a memory card) with a medium and a file system, not the start-up disk (even through a mapped
// device), and not what the list offers already.
TEST(RemovableDrives, NamesTheDrivesTheListDoesNotOfferAndWhy)
{
    FakeSystem system;
    const auto drives = RemovableDrives::list(system.sources());
    EXPECT_EQ(devices(drives).join(' '), "/dev/mmcblk0 /dev/sdb1 /dev/sde /dev/sdg5 /dev/sdg10 /dev/sdh1");
    ASSERT_EQ(drives.size(), 6u);

    const auto &card = drives[0];
    EXPECT_EQ(card.reason, RemovableDrives::Reason::NotMounted);
    EXPECT_EQ(card.model, "SD32G");
    EXPECT_EQ(card.capacity, 62'333'952ull * 512);
    EXPECT_TRUE(card.name().isEmpty()) << "no label, no mount point";

    const auto &stick = drives[1];
    EXPECT_EQ(stick.reason, RemovableDrives::Reason::MountedElsewhere);
    EXPECT_EQ(stick.mountPoint, "/media/anna/SANDISK");
    EXPECT_EQ(stick.name(), "SANDISK");
    EXPECT_EQ(stick.disk, "/dev/sdb");
    EXPECT_EQ(stick.deviceNumber, makedev(8, 17));
    EXPECT_EQ(stick.capacity, 30'029'824ull * 512);
    EXPECT_EQ(stick.vendor, "SanDisk");
    EXPECT_EQ(stick.model, "Cruzer Blade");

    const auto &ssd = drives[2];
    EXPECT_EQ(ssd.reason, RemovableDrives::Reason::NotMounted);
    EXPECT_EQ(ssd.label, "T5 Data");
    EXPECT_EQ(ssd.fileSystem, "exfat");
    EXPECT_EQ(ssd.disk, "/dev/sde");
    EXPECT_EQ(ssd.vendor + " " + ssd.model, "Samsung Portable SSD T5");
    EXPECT_EQ(drives[3].label, "BACKUP");

    const auto &hidden = drives[5];
    EXPECT_EQ(hidden.reason, RemovableDrives::Reason::MountedElsewhere);
    EXPECT_EQ(hidden.mountPath(), "/Volumes/.hidden");

    // Mounted below /Volumes as well, the stick is offered and no longer named here; a loop device counts
    // only when named removable.
    system.writeMounts("1 0 254:0 / / rw - ext4 /dev/mapper/root rw\n"
                       "30 1 8:17 / /media/anna/SANDISK rw - vfat /dev/sdb1 rw\n"
                       "40 1 8:17 / /Volumes/SANDISK rw - vfat /dev/sdb1 rw\n");
    const auto later = devices(RemovableDrives::list(system.sources({"loop0"})));
    EXPECT_FALSE(later.contains("/dev/sdb1"));
    EXPECT_TRUE(later.contains("/dev/sdh1")) << "no longer mounted: " << later.join(' ').toStdString();
    EXPECT_TRUE(later.contains("/dev/loop0"));

    // Started from the internal disk instead, the stick it used to start from is a drive like any other.
    system.writeMounts("1 0 8:1 / / rw - ext4 /dev/sda1 rw\n");
    const auto fromInternal = devices(RemovableDrives::list(system.sources()));
    EXPECT_TRUE(fromInternal.contains("/dev/sdf1")) << fromInternal.join(' ').toStdString();
    EXPECT_FALSE(fromInternal.contains("/dev/sda1"));
}

TEST(BlockDevice, ReadsMakerModelAndCapacityOfTheDiskBehindAVolume)
{
    FakeSystem system;
    const QString sys = system.sys;
    EXPECT_EQ(BlockDevice::vendor(makedev(8, 17), sys), "SanDisk");
    EXPECT_EQ(BlockDevice::model(makedev(8, 17), sys), "Cruzer Blade");
    EXPECT_EQ(BlockDevice::capacity(makedev(8, 17), sys), 30'029'824ull * 512);
    EXPECT_EQ(BlockDevice::vendor(makedev(8, 1), sys), "") << "the bus, not a maker";
    EXPECT_EQ(BlockDevice::model(makedev(8, 1), sys), "Samsung SSD 860");
    EXPECT_EQ(BlockDevice::vendor(makedev(254, 16), sys), "") << "a numeric id, not a maker";
    EXPECT_EQ(BlockDevice::model(makedev(179, 0), sys), "SD32G");
    EXPECT_EQ(BlockDevice::vendor(makedev(7, 0), sys), "");
    EXPECT_EQ(BlockDevice::capacity(makedev(9, 9), sys), 0u);
    EXPECT_EQ(BlockDevice::model(makedev(0, 42), sys), "") << "an anonymous device has no disk";
}
