#pragma once

#include <QImage>
#include <QString>

namespace platform {

// The icon the desktop shows for a path: an application bundle's own icon, a volume's custom icon, the
// icon theme's drive icon, or a drawn drive as the last resort.
class IconProvider
{
public:
    // An empty image when the path has no icon of its own and is not a mounted volume.
    static QImage effectiveIcon(const QString &path);
    // CFBundleIconFile of the bundle's Info.plist, from Contents/Resources (".icns" added when the name has
    // no extension); the largest picture the file holds.
    static QImage bundleIcon(const QString &bundlePath);
    // .VolumeIcon.icns at the volume root, else the theme's removable or fixed drive icon by the kernel's
    // removable flag for the device, else a drawn drive.
    static QImage volumeIcon(const QString &mountPoint, const QString &device);
    static QImage volumeIcon(const QByteArray &mountPoint, const QString &device);
    // The drive icon alone, reading nothing on the volume (for a volume that must be left alone).
    static QImage genericVolumeIcon(const QString &device);
    // Icon files larger than this are not read.
    static constexpr qint64 MaxIconFileSize = 16 * 1024 * 1024;
    // Whether the kernel marks the block device (or the disk it is a partition of) removable.
    static bool isRemovableDevice(const QString &device);

private:
    static QImage largestImage(const QByteArray &file);
    static QImage drawnDriveIcon(bool removable);
};

} // namespace platform
