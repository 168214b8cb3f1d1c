#include "Platform/Volumes/RemovableDrives.h"

#include "Platform/Volumes/DeviceMonitor.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <functional>
#include <tuple>

namespace platform {

namespace {

using Record = BlockDevice::Record;

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

bool holds(const Record &device, const MountEntry &mount)
{
    // btrfs and others report an anonymous device number; their source names the device.
    return mount.device == device.number || (!device.node.isEmpty() && mount.source == device.node);
}

// The disks that hold the start-up volume, through mapped devices (LVM, encryption) down to the disks
// below them: never offered for anything.
QSet<QString> startupDisks(const QHash<QString, const Record *> &byName,
                           const std::vector<MountEntry> &mounts)
{
    QSet<QString> disks;
    std::function<void(const Record &, int)> collect = [&](const Record &device, int depth) {
        if (device.below.isEmpty() || depth > 8)
            disks.insert(device.disk);
        else
            for (const QString &name : device.below)
                if (const Record *lower = byName.value(name))
                    collect(*lower, depth + 1);
    };
    for (const MountEntry &mount : mounts)
        if (mount.mountPointBytes == "/")
            for (const Record *device : byName)
                if (holds(*device, mount))
                    collect(*device, 0);
    return disks;
}

// Marked removable; attached over USB (hard disks and SSDs there are not marked); or a memory card, which
// the kernel does not mark either (an eMMC soldered in says "MMC" instead of "SD").
bool removable(const Record &device, const QStringList &alsoRemovable)
{
    return device.removable || device.usb || device.cardType == QLatin1String("SD") ||
           alsoRemovable.contains(device.disk);
}

} // namespace

QString RemovableDrives::Drive::name() const
{
    if (!contents.label.isEmpty())
        return QString::fromUtf8(contents.label);
    return QFile::decodeName(mountPoint.mid(mountPoint.lastIndexOf('/') + 1));
}

QString RemovableDrives::Drive::mountPath() const
{
    return QFile::decodeName(mountPoint);
}

QStringList RemovableDrives::alsoRemovable()
{
    static const QRegularExpression separators(QStringLiteral("[\\s,]+"));
    QStringList names;
    for (const QString &device :
         qEnvironmentVariable("BOOTDRIVE_REMOVABLE_DEVICES").split(separators, Qt::SkipEmptyParts))
        names << QFileInfo(device).fileName();
    return names;
}

std::vector<RemovableDrives::Drive> RemovableDrives::select(const std::vector<Record> &devices,
                                                            const std::vector<MountEntry> &mounts,
                                                            const QStringList &alsoRemovable)
{
    QHash<QString, const Record *> byName;
    QSet<QString> partitioned;
    std::vector<const Record *> ordered;
    for (const Record &device : devices) {
        byName.insert(device.name, &device);
        ordered.push_back(&device);
        if (device.partition > 0)
            partitioned.insert(device.disk);
    }
    std::sort(ordered.begin(), ordered.end(), [](const Record *a, const Record *b) {
        return std::tie(a->disk, a->partition) < std::tie(b->disk, b->partition);
    });
    const QSet<QString> startup = startupDisks(byName, mounts);

    std::vector<Drive> drives;
    for (const Record *device : ordered) {
        const Record *disk = byName.value(device->disk, device);
        // A disk with partitions is listed by them; an empty reader's disk has no medium.
        if (!removable(*device, alsoRemovable) || startup.contains(device->disk) || device->hidden ||
            disk->capacity == 0 || (device->partition == 0 && partitioned.contains(device->name)) ||
            device->capacity < kSmallestVolume ||
            device->contents.state == BlockDevice::Contents::State::Pending)
            continue;
        // Read, and found to hold nothing that can be mounted.
        if (device->contents.state == BlockDevice::Contents::State::Known &&
            device->contents.usage != QLatin1String("filesystem"))
            continue;
        std::vector<const MountEntry *> its;
        for (const MountEntry &mount : mounts)
            if (holds(*device, mount))
                its.push_back(&mount);
        if (std::any_of(its.begin(), its.end(), [](const MountEntry *mount) { return offered(*mount); }))
            continue;

        Drive drive;
        drive.device = device->node;
        drive.deviceNumber = device->number;
        drive.disk = disk->node;
        drive.capacity = device->capacity;
        drive.vendor = device->vendor;
        drive.model = device->model;
        drive.contents = device->contents;
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
    return drives;
}

std::vector<RemovableDrives::Drive> RemovableDrives::list()
{
    return select(DeviceMonitor::snapshot(), MountTable::read(), alsoRemovable());
}

} // namespace platform
