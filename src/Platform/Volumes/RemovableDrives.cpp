#include "Platform/Volumes/RemovableDrives.h"

#include "Platform/Volumes/BlockDevice.h"
#include "Platform/Volumes/MountTable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <optional>
#include <sys/sysmacros.h>

namespace platform {

namespace {

// Smaller than this is an extended partition's container (two sectors) or a boot loader's gap, never a
// volume anyone would use.
constexpr uint64_t kSmallestVolume = 1024 * 1024;

bool hidden(const QByteArray &point)
{
    return point.mid(point.lastIndexOf('/') + 1).startsWith('.');
}

// The drive list's rule: visible volumes mounted below "/Volumes" (a plain prefix), /Volumes itself aside.
bool offered(const MountEntry &entry)
{
    const QByteArray &point = entry.mountPointBytes;
    return point.startsWith("/Volumes") && point != "/Volumes" && !hidden(point);
}

dev_t numberFromText(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    bool majorOk = false, minorOk = false;
    const unsigned high = parts.value(0).toUInt(&majorOk);
    const unsigned low = parts.value(1).toUInt(&minorOk);
    return parts.size() == 2 && majorOk && minorOk ? makedev(high, low) : 0;
}

// udev writes a label's unsafe bytes as \xHH.
QString decodeUdevText(const QByteArray &value)
{
    QByteArray bytes;
    for (qsizetype i = 0; i < value.size(); ++i) {
        bool ok = false;
        const int byte = i + 3 < value.size() && value[i] == '\\' && value[i + 1] == 'x'
                             ? value.mid(i + 2, 2).toInt(&ok, 16)
                             : 0;
        if (ok) {
            bytes.append(static_cast<char>(byte));
            i += 3;
        } else {
            bytes.append(value[i]);
        }
    }
    return QString::fromUtf8(bytes);
}

// What udev recorded for a device ("ID_FS_TYPE" → "vfat"); nothing when it keeps no record of it.
std::optional<QHash<QByteArray, QByteArray>> udevProperties(const QString &udevData, dev_t device)
{
    QFile file(udevData + QStringLiteral("/b") + BlockDevice::numberText(device));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QHash<QByteArray, QByteArray> properties;
    for (const QByteArray &line : file.read(1024 * 1024).split('\n')) {
        const qsizetype equals = line.indexOf('=');
        if (line.startsWith("E:") && equals > 2)
            properties.insert(line.mid(2, equals - 2), line.mid(equals + 1));
    }
    return properties;
}

// The disks a device's data lies on: its own, or for a mapped device (LVM, encryption) those below it.
void collectDisks(const QString &folder, QSet<QString> &disks, int depth = 0)
{
    const QFileInfoList below =
        QDir(folder + QStringLiteral("/slaves")).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot);
    if (below.isEmpty() || depth > 8) {
        disks.insert(BlockDevice::diskFolder(folder));
        return;
    }
    for (const QFileInfo &device : below)
        collectDisks(device.canonicalFilePath(), disks, depth + 1);
}

// The disks that hold the start-up volume: never offered for anything.
QSet<QString> startupDisks(const std::vector<MountEntry> &mounts, const QString &sysRoot)
{
    QSet<QString> disks;
    for (const MountEntry &entry : mounts) {
        if (entry.mountPointBytes != "/")
            continue;
        QString folder = BlockDevice::sysfsFolder(entry.device, sysRoot);
        // btrfs and others report an anonymous device number; their source names the device.
        if (folder.isEmpty() && entry.source.startsWith(QLatin1String("/dev/")))
            folder = QFileInfo(sysRoot + QStringLiteral("/class/block/") + QFileInfo(entry.source).fileName())
                         .canonicalFilePath();
        if (!folder.isEmpty())
            collectDisks(folder, disks);
    }
    return disks;
}

// Marked removable; attached over USB (hard disks and SSDs there are not marked); or a memory card, which
// the kernel does not mark either (an eMMC soldered in says "MMC" instead of "SD").
bool removableDisk(const QString &folder, const QStringList &alsoRemovable)
{
    static const QRegularExpression usb(QStringLiteral("/usb[0-9]+/"));
    return BlockDevice::attribute(folder, QStringLiteral("removable")) == QLatin1String("1") ||
           usb.match(folder).hasMatch() ||
           BlockDevice::attribute(folder, QStringLiteral("device/type")) == QLatin1String("SD") ||
           alsoRemovable.contains(QFileInfo(folder).fileName());
}

// A disk's partitions in their order, or the disk itself when it has none.
QStringList volumesOf(const QString &disk)
{
    std::vector<std::pair<int, QString>> partitions;
    for (const QFileInfo &entry : QDir(disk).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString folder = entry.absoluteFilePath();
        if (QFileInfo::exists(folder + QStringLiteral("/partition")))
            partitions.emplace_back(BlockDevice::attribute(folder, QStringLiteral("partition")).toInt(),
                                    folder);
    }
    std::sort(partitions.begin(), partitions.end());
    QStringList volumes;
    for (const auto &[number, folder] : partitions)
        volumes << folder;
    return volumes.isEmpty() ? QStringList{disk} : volumes;
}

} // namespace

QString RemovableDrives::Drive::name() const
{
    if (!label.isEmpty())
        return label;
    return QFile::decodeName(mountPoint.mid(mountPoint.lastIndexOf('/') + 1));
}

QString RemovableDrives::Drive::mountPath() const
{
    return QFile::decodeName(mountPoint);
}

RemovableDrives::Sources RemovableDrives::Sources::system()
{
    Sources sources;
    static const QRegularExpression separators(QStringLiteral("[\\s,]+"));
    const QString named = qEnvironmentVariable("BOOTDRIVE_REMOVABLE_DEVICES");
    for (const QString &device : named.split(separators, Qt::SkipEmptyParts))
        sources.alsoRemovable << QFileInfo(device).fileName();
    return sources;
}

std::vector<RemovableDrives::Drive> RemovableDrives::list(const Sources &sources)
{
    const std::vector<MountEntry> mounts = MountTable::read(sources.mountInfo);
    const QSet<QString> startup = startupDisks(mounts, sources.sysRoot);
    std::vector<Drive> drives;
    for (const QFileInfo &entry : QDir(sources.sysRoot + QStringLiteral("/block"))
                                      .entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        const QString disk = entry.canonicalFilePath();
        if (!removableDisk(disk, sources.alsoRemovable) || startup.contains(disk) ||
            BlockDevice::attribute(disk, QStringLiteral("hidden")) == QLatin1String("1") ||
            BlockDevice::attribute(disk, QStringLiteral("size")).toULongLong() == 0) // no medium
            continue;
        for (const QString &volume : volumesOf(disk)) {
            Drive drive;
            drive.deviceNumber = numberFromText(BlockDevice::attribute(volume, QStringLiteral("dev")));
            drive.capacity = BlockDevice::attribute(volume, QStringLiteral("size")).toULongLong() * 512;
            if (drive.deviceNumber == 0 || drive.capacity < kSmallestVolume)
                continue;
            if (const auto udev = udevProperties(sources.udevData, drive.deviceNumber)) {
                // udev probed it and found no file system: nothing to mount.
                if (udev->value("ID_FS_USAGE") != "filesystem")
                    continue;
                drive.fileSystem = QString::fromUtf8(udev->value("ID_FS_TYPE"));
                drive.label = udev->contains("ID_FS_LABEL_ENC")
                                  ? decodeUdevText(udev->value("ID_FS_LABEL_ENC"))
                                  : QString::fromUtf8(udev->value("ID_FS_LABEL"));
            }
            drive.device = QStringLiteral("/dev/") + QFileInfo(volume).fileName();
            drive.disk = QStringLiteral("/dev/") + QFileInfo(disk).fileName();
            drive.vendor = BlockDevice::vendor(drive.deviceNumber, sources.sysRoot);
            drive.model = BlockDevice::model(drive.deviceNumber, sources.sysRoot);

            std::vector<const MountEntry *> its;
            for (const MountEntry &mount : mounts)
                if (mount.device == drive.deviceNumber || mount.source == drive.device)
                    its.push_back(&mount);
            if (std::any_of(its.begin(), its.end(), [](const MountEntry *mount) { return offered(*mount); }))
                continue;
            if (!its.empty()) {
                // The topmost visible mount is where a user finds it.
                const auto visible = std::find_if(its.rbegin(), its.rend(), [](const MountEntry *mount) {
                    return !hidden(mount->mountPointBytes);
                });
                drive.mountPoint = (visible != its.rend() ? *visible : its.back())->mountPointBytes;
                drive.reason = Reason::MountedElsewhere;
            }
            drives.push_back(std::move(drive));
        }
    }
    return drives;
}

} // namespace platform
