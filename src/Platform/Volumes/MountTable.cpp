#include "Platform/Volumes/MountTable.h"

#include "Platform/Posix/MountInfo.h"

#include <QFile>

namespace platform {

QByteArray MountTable::decodeEscapes(const QByteArray &field)
{
    const std::string decoded = posix::MountInfo::decode(std::string_view(field.constData(), field.size()));
    return QByteArray(decoded.data(), static_cast<qsizetype>(decoded.size()));
}

std::vector<MountEntry> MountTable::parse(const QByteArray &mountInfo)
{
    std::vector<MountEntry> entries;
    for (const posix::MountEntry &parsed :
         posix::MountInfo::parse(std::string_view(mountInfo.constData(), mountInfo.size()))) {
        MountEntry entry;
        entry.deviceNumber = QStringLiteral("%1:%2").arg(parsed.major).arg(parsed.minor);
        entry.device = parsed.device();
        entry.mountPointBytes = QByteArray(parsed.mountPoint.data(), qsizetype(parsed.mountPoint.size()));
        entry.mountPoint = QFile::decodeName(entry.mountPointBytes);
        entry.fileSystemType = QFile::decodeName(QByteArray::fromStdString(parsed.fsType));
        entry.source = QFile::decodeName(QByteArray::fromStdString(parsed.source));
        entries.push_back(entry);
    }
    return entries;
}

std::vector<MountEntry> MountTable::read(const QString &mountInfoPath)
{
    QFile file(mountInfoPath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // /proc files report no size; read to the end.
    return parse(file.readAll());
}

std::vector<MountEntry> MountTable::visibleVolumes()
{
    std::vector<MountEntry> visible;
    for (auto &entry : read()) {
        const QByteArray &point = entry.mountPointBytes;
        if (!point.mid(point.lastIndexOf('/') + 1).startsWith('.'))
            visible.push_back(std::move(entry));
    }
    return visible;
}

MountEntry MountTable::entryForMountPoint(const QString &path)
{
    return entryForMountPoint(QFile::encodeName(path));
}

MountEntry MountTable::entryForMountPoint(const QByteArray &path)
{
    MountEntry found;
    for (auto &entry : read())
        if (entry.mountPointBytes == path)
            found = entry;
    return found;
}

MountEntry MountTable::volumeOfDevice(dev_t device)
{
    MountEntry found;
    if (device == 0)
        return found;
    for (auto &entry : visibleVolumes())
        if (entry.device == device && entry.mountPointBytes.startsWith("/Volumes/"))
            found = entry;
    return found;
}

} // namespace platform
