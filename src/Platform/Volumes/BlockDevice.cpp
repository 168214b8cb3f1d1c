#include "Platform/Volumes/BlockDevice.h"

#include <QFile>
#include <QFileInfo>
#include <sys/sysmacros.h>

namespace platform {

namespace {

QString sysfsFolder(dev_t device)
{
    return QStringLiteral("/sys/dev/block/") + BlockDevice::numberText(device);
}

} // namespace

QString BlockDevice::numberText(dev_t device)
{
    return QStringLiteral("%1:%2").arg(major(device)).arg(minor(device));
}

QString BlockDevice::nodeFor(dev_t device, const QString &source)
{
    if (source.startsWith(QLatin1String("/dev/")))
        return source;
    // File systems such as btrfs report an anonymous device number with no sysfs entry.
    const QString target = QFileInfo(sysfsFolder(device)).symLinkTarget();
    if (major(device) == 0 || target.isEmpty())
        return {};
    return QStringLiteral("/dev/") + QFileInfo(target).fileName();
}

uint64_t BlockDevice::capacity(dev_t device)
{
    if (major(device) == 0)
        return 0;
    QFile sectors(sysfsFolder(device) + QStringLiteral("/size"));
    if (!sectors.open(QIODevice::ReadOnly))
        return 0;
    bool ok = false;
    // sysfs counts 512-byte sectors whatever the device's own sector size.
    const qulonglong count = sectors.readAll().trimmed().toULongLong(&ok);
    return ok ? static_cast<uint64_t>(count) * 512 : 0;
}

} // namespace platform
