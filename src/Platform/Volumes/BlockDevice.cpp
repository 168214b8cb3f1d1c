#include "Platform/Volumes/BlockDevice.h"

#include <QDir>
#include <QFile>
#include <cctype>
#include <libudev.h>
#include <memory>
#include <sys/sysmacros.h>

namespace platform {

namespace {

using Udev = std::unique_ptr<udev, decltype(&udev_unref)>;
using UdevDevice = std::unique_ptr<udev_device, decltype(&udev_device_unref)>;

QByteArray attribute(udev_device *device, const char *name)
{
    return QByteArray(device ? udev_device_get_sysattr_value(device, name) : nullptr).trimmed();
}

QByteArray property(udev_device *device, const char *name)
{
    return QByteArray(udev_device_get_property_value(device, name));
}

// A name the drive reports: printable text, not a numeric id such as a PCI vendor ("0x1af4").
QString reportedName(const QByteArray &value)
{
    const QString text = QString::fromUtf8(value).simplified();
    if (text.startsWith(QLatin1String("0x")))
        return {};
    for (const QChar c : text)
        if (!c.isPrint())
            return {};
    return text;
}

BlockDevice::Record recordOf(udev_device *device)
{
    BlockDevice::Record record;
    record.name = QString::fromUtf8(udev_device_get_sysname(device));
    record.node = QFile::decodeName(udev_device_get_devnode(device));
    record.number = udev_device_get_devnum(device);
    // Owned by the device; a partition's disk attributes are the drive's.
    udev_device *disk = qstrcmp(udev_device_get_devtype(device), "partition") == 0
                            ? udev_device_get_parent_with_subsystem_devtype(device, "block", "disk")
                            : device;
    record.disk = disk ? QString::fromUtf8(udev_device_get_sysname(disk)) : record.name;
    record.partition = attribute(device, "partition").toInt();
    // sysfs counts 512-byte sectors whatever the device's own sector size.
    record.capacity = attribute(device, "size").toULongLong() * 512;
    record.sequence = QString::fromLatin1(attribute(disk, "diskseq"));
    record.removable = attribute(disk, "removable") == "1";
    record.usb = disk && udev_device_get_parent_with_subsystem_devtype(disk, "usb", "usb_device");
    record.cardType = QString::fromUtf8(attribute(disk, "device/type"));
    record.hidden = attribute(disk, "hidden") == "1";
    record.vendor = BlockDevice::reportedVendor(attribute(disk, "device/vendor"));
    record.model =
        BlockDevice::reportedModel(attribute(disk, "device/model"), attribute(disk, "device/name"));
    // libudev has no call for the devices below a mapped one; the kernel lists them beside its attributes.
    record.below = QDir(QFile::decodeName(udev_device_get_syspath(device)) + QStringLiteral("/slaves"))
                       .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    // A udev daemon probes every device and keeps what it found; without one (a container, a system without
    // udev) there is no record, and whoever needs to know probes the device itself.
    if (udev_device_get_is_initialized(device) > 0) {
        BlockDevice::Contents &contents = record.contents;
        contents.state = BlockDevice::Contents::State::Known;
        contents.fileSystem = QString::fromUtf8(property(device, "ID_FS_TYPE"));
        contents.usage = QString::fromUtf8(property(device, "ID_FS_USAGE"));
        const QByteArray encoded = property(device, "ID_FS_LABEL_ENC");
        contents.label =
            encoded.isEmpty() ? property(device, "ID_FS_LABEL") : BlockDevice::decodeUdevText(encoded);
    }
    return record;
}

} // namespace

bool BlockDevice::Record::sameMedium(const Record &other) const
{
    return number == other.number && capacity == other.capacity && sequence == other.sequence &&
           partition == other.partition;
}

std::vector<BlockDevice::Record> BlockDevice::list()
{
    std::vector<Record> records;
    const Udev context(udev_new(), udev_unref);
    const std::unique_ptr<udev_enumerate, decltype(&udev_enumerate_unref)> scan(
        context ? udev_enumerate_new(context.get()) : nullptr, udev_enumerate_unref);
    if (!scan || udev_enumerate_add_match_subsystem(scan.get(), "block") < 0 ||
        udev_enumerate_scan_devices(scan.get()) < 0)
        return records;
    udev_list_entry *entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(scan.get()))
    {
        // One that went away since the scan is left out.
        const UdevDevice device(udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(entry)),
                                udev_device_unref);
        if (device)
            records.push_back(recordOf(device.get()));
    }
    return records;
}

std::optional<BlockDevice::Record> BlockDevice::read(dev_t device)
{
    const Udev context(major(device) != 0 ? udev_new() : nullptr, udev_unref);
    const UdevDevice found(context ? udev_device_new_from_devnum(context.get(), 'b', device) : nullptr,
                           udev_device_unref);
    return found ? std::optional(recordOf(found.get())) : std::nullopt;
}

QString BlockDevice::numberText(dev_t device)
{
    return QStringLiteral("%1:%2").arg(major(device)).arg(minor(device));
}

QString BlockDevice::reportedVendor(const QByteArray &vendor)
{
    const QString name = reportedName(vendor);
    // SATA disks name their bus here.
    return name == QLatin1String("ATA") ? QString() : name;
}

QString BlockDevice::reportedModel(const QByteArray &model, const QByteArray &cardName)
{
    const QString name = reportedName(model);
    return name.isEmpty() ? reportedName(cardName) : name;
}

QByteArray BlockDevice::decodeUdevText(const QByteArray &value)
{
    auto hex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
    QByteArray bytes;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 3 < value.size() && value[i + 1] == 'x' && hex(value[i + 2]) &&
            hex(value[i + 3])) {
            bytes.append(static_cast<char>(value.mid(i + 2, 2).toInt(nullptr, 16)));
            i += 3;
        } else {
            bytes.append(value[i]);
        }
    }
    return bytes;
}

} // namespace platform
