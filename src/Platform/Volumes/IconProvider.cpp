#include "Platform/Volumes/IconProvider.h"

#include "Platform/Values/PropertyList.h"
#include "Platform/Volumes/BlockDevice.h"
#include "Platform/Volumes/FileSystem.h"
#include "Platform/Volumes/MountTable.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QImageReader>
#include <QPainter>
#include <QPainterPath>
#include <sys/stat.h>

namespace platform {

QImage IconProvider::effectiveIcon(const QString &path)
{
    if (path.isEmpty())
        return {};
    if (QFileInfo::exists(path + QStringLiteral("/Contents/Info.plist"))) {
        QImage icon = bundleIcon(path);
        if (!icon.isNull())
            return icon;
    }
    const MountEntry mount = MountTable::entryForMountPoint(path);
    if (!mount.mountPointBytes.isEmpty())
        return volumeIcon(mount.mountPointBytes, mount.source);
    return {};
}

QImage IconProvider::bundleIcon(const QString &bundlePath)
{
    const QVariant iconFile =
        PropertyList::readDictionary(bundlePath + QStringLiteral("/Contents/Info.plist"))
            .value(QStringLiteral("CFBundleIconFile"));
    QString name = iconFile.typeId() == QMetaType::QString ? iconFile.toString() : QString();
    if (name.isEmpty())
        return {};
    if (QFileInfo(name).suffix().isEmpty())
        name += QStringLiteral(".icns");
    return largestImage(QFile::encodeName(bundlePath + QStringLiteral("/Contents/Resources/") + name));
}

QImage IconProvider::volumeIcon(const QString &mountPoint, const QString &device)
{
    return volumeIcon(QFile::encodeName(mountPoint), device);
}

QImage IconProvider::volumeIcon(const QByteArray &mountPoint, const QString &device)
{
    QImage custom = largestImage(mountPoint + "/.VolumeIcon.icns");
    if (!custom.isNull())
        return custom;
    return genericVolumeIcon(device);
}

QImage IconProvider::genericVolumeIcon(const QString &device)
{
    const bool removable = isRemovableDevice(device);
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        const QIcon themed = QIcon::fromTheme(removable ? QStringLiteral("drive-removable-media")
                                                        : QStringLiteral("drive-harddisk"));
        if (!themed.isNull()) {
            QImage image = themed.pixmap(QSize(64, 64)).toImage();
            if (!image.isNull())
                return image;
        }
    }
    return drawnDriveIcon(removable);
}

bool IconProvider::isRemovableDevice(const QString &device)
{
    struct stat node
    {};
    if (!device.startsWith(QStringLiteral("/dev/")) ||
        ::stat(QFile::encodeName(device).constData(), &node) != 0 || !S_ISBLK(node.st_mode))
        return false;
    // A partition carries its disk's mark.
    const auto found = BlockDevice::read(node.st_rdev);
    return found && found->removable;
}

QImage IconProvider::largestImage(const QByteArray &file)
{
    std::optional<QByteArray> bytes = FileSystem::readRegularFile(file, MaxIconFileSize);
    if (!bytes || bytes->isEmpty())
        return {};
    QBuffer buffer(&*bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    QImage best;
    const int count = std::max(1, reader.imageCount());
    for (int i = 0; i < count; ++i) {
        if (i > 0 && !reader.jumpToImage(i))
            break;
        QImage image = reader.read();
        if (!image.isNull() && image.width() * image.height() > best.width() * best.height())
            best = image;
    }
    return best;
}

QImage IconProvider::drawnDriveIcon(bool removable)
{
    QImage image(64, 64, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath body;
    body.addRoundedRect(QRectF(6, removable ? 14 : 18, 52, removable ? 36 : 28), 6, 6);
    painter.fillPath(body, QColor(0x8e, 0x95, 0xa0));
    painter.setPen(QPen(QColor(0x5b, 0x62, 0x6d), 2));
    painter.drawPath(body);
    painter.setBrush(QColor(0x4c, 0xd9, 0x64));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QPointF(48, removable ? 40 : 38), 3, 3);
    return image;
}

} // namespace platform
