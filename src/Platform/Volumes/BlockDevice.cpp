#include "Platform/Volumes/BlockDevice.h"

#include <QFile>
#include <QFileInfo>
#include <sys/sysmacros.h>

namespace platform {

namespace {

// A name the drive reports: printable text, not a numeric id such as a PCI vendor ("0x1af4").
QString reportedName(const QString &value)
{
    const QString text = value.simplified();
    if (text.startsWith(QLatin1String("0x")))
        return {};
    for (const QChar c : text)
        if (!c.isPrint())
            return {};
    return text;
}

QString diskAttribute(dev_t device, const QString &sysRoot, const QString &name)
{
    const QString folder = BlockDevice::sysfsFolder(device, sysRoot);
    return folder.isEmpty() ? QString() : BlockDevice::attribute(BlockDevice::diskFolder(folder), name);
}

} // namespace

QString BlockDevice::numberText(dev_t device)
{
    return QStringLiteral("%1:%2").arg(major(device)).arg(minor(device));
}

QString BlockDevice::sysfsFolder(dev_t device, const QString &sysRoot)
{
    // File systems such as btrfs report an anonymous device number with no sysfs entry.
    if (major(device) == 0)
        return {};
    return QFileInfo(sysRoot + QStringLiteral("/dev/block/") + numberText(device)).canonicalFilePath();
}

QString BlockDevice::diskFolder(const QString &folder)
{
    return QFileInfo::exists(folder + QStringLiteral("/partition")) ? QFileInfo(folder).absolutePath()
                                                                    : folder;
}

QString BlockDevice::attribute(const QString &folder, const QString &name)
{
    QFile file(folder + QLatin1Char('/') + name);
    // sysfs values are a line; anything longer is not one.
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.read(4096)).trimmed();
}

QString BlockDevice::nodeFor(dev_t device, const QString &source)
{
    if (source.startsWith(QLatin1String("/dev/")))
        return source;
    const QString folder = sysfsFolder(device);
    return folder.isEmpty() ? QString() : QStringLiteral("/dev/") + QFileInfo(folder).fileName();
}

uint64_t BlockDevice::capacity(dev_t device, const QString &sysRoot)
{
    const QString folder = sysfsFolder(device, sysRoot);
    if (folder.isEmpty())
        return 0;
    bool ok = false;
    // sysfs counts 512-byte sectors whatever the device's own sector size.
    const qulonglong count = attribute(folder, QStringLiteral("size")).toULongLong(&ok);
    return ok ? static_cast<uint64_t>(count) * 512 : 0;
}

QString BlockDevice::vendor(dev_t device, const QString &sysRoot)
{
    const QString vendor = reportedName(diskAttribute(device, sysRoot, QStringLiteral("device/vendor")));
    // SATA disks name their bus here.
    return vendor == QLatin1String("ATA") ? QString() : vendor;
}

QString BlockDevice::model(dev_t device, const QString &sysRoot)
{
    const QString model = reportedName(diskAttribute(device, sysRoot, QStringLiteral("device/model")));
    // Memory cards name their product instead.
    return model.isEmpty() ? reportedName(diskAttribute(device, sysRoot, QStringLiteral("device/name")))
                           : model;
}

} // namespace platform
