#include "Creation/DiskModel.h"

#include "Common/BaseImage.h"
#include "Creation/BaseModel.h"
#include "Creation/MacOSModel.h"
#include "Platform/Volumes/BlockDevice.h"
#include "Platform/Volumes/IconProvider.h"
#include "Platform/Volumes/InstallerMedia.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringList>

namespace {

QByteArray withoutTrailingSlash(QByteArray path)
{
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    return path;
}

// The name the creation tool gives a drive, numbered when another volume had it already.
bool namedAfterInstaller(const QString &name)
{
    static const QRegularExpression numbered(QStringLiteral("^(.*) [1-9][0-9]*$"));
    if (MacOSModel::isSupportedName(name))
        return true;
    const QRegularExpressionMatch match = numbered.match(name);
    return match.hasMatch() && MacOSModel::isSupportedName(match.captured(1));
}

} // namespace

std::shared_ptr<DiskModel> DiskModel::initWithURL(const QString &mountPath)
{
    const QByteArray path = withoutTrailingSlash(QFile::encodeName(mountPath));
    platform::MountEntry entry = platform::MountTable::entryForMountPoint(path);
    if (entry.mountPointBytes.isEmpty()) {
        entry.mountPointBytes = path;
        entry.mountPoint = QFile::decodeName(path);
    }
    return initWithMountEntry(entry, true);
}

std::shared_ptr<DiskModel> DiskModel::initWithMountEntry(const platform::MountEntry &entry, bool readVolume)
{
    auto model = std::make_shared<DiskModel>();
    model->setVolumePath(withoutTrailingSlash(entry.mountPointBytes));
    model->m_name = model->m_volume.split(QLatin1Char('/')).last();
    model->m_deviceNumber = entry.device;
    // One look at the device for all it tells; the mount's source names its node where it names one.
    if (const std::optional<platform::BlockDevice::Record> device =
            platform::BlockDevice::read(entry.device)) {
        model->m_deviceNode = device->node;
        model->m_capacity = device->capacity;
        model->m_vendor = device->vendor;
        model->m_model = device->model;
    }
    if (entry.source.startsWith(QLatin1String("/dev/")))
        model->m_deviceNode = entry.source;
    model->m_incompleteInstaller = readVolume && namedAfterInstaller(model->m_name) &&
                                   !platform::InstallerMedia::isFinished(model->m_volumePath);
    // An unfinished drive must not wear the installer's icon.
    const QImage icon = readVolume && !model->m_incompleteInstaller
                            ? platform::IconProvider::volumeIcon(model->m_volumePath, entry.source)
                            : platform::IconProvider::genericVolumeIcon(entry.source);
    model->m_image = BaseImage::resizeImage(icon, QSizeF(20, 20));
    return model;
}

void DiskModel::setVolume(const QString &v)
{
    m_volume = v;
    m_volumePath = QFile::encodeName(v);
}

void DiskModel::setVolumePath(const QByteArray &bytes)
{
    m_volumePath = bytes;
    m_volume = QFile::decodeName(bytes);
}

QString DiskModel::deviceSummary() const
{
    if (m_deviceNode.isEmpty())
        return {};
    QStringList parts;
    if (const QString product = QStringList{m_vendor, m_model}.join(QLatin1Char(' ')).trimmed();
        !product.isEmpty())
        parts << product;
    parts << m_deviceNode;
    if (m_capacity != 0)
        parts << BaseModel::fileSizeString(static_cast<int64_t>(m_capacity));
    return parts.join(QStringLiteral(" · "));
}

bool DiskModel::isSameVolume(const DiskModel &other) const
{
    return m_deviceNumber == other.m_deviceNumber && m_volumePath == other.m_volumePath;
}

QString DiskModel::removeSpaceAndNewline(const QString &text)
{
    return text.trimmed();
}

bool DiskModel::isExternalWithPath(const QString &text)
{
    return text.contains(QLatin1String("(external, physical)")) && text.startsWith(QLatin1String("/dev"));
}
