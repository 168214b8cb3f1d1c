#include "Platform/Volumes/MountTable.h"

#include "Platform/Posix/MountInfo.h"

#include <QFile>

namespace platform {

std::vector<MountEntry> MountTable::read(const QString &mountInfoPath)
{
    std::vector<MountEntry> entries;
    for (const posix::MountEntry &read :
         posix::MountInfo::read(QFile::encodeName(mountInfoPath).toStdString())) {
        MountEntry entry;
        entry.device = read.device;
        entry.mountPointBytes = QByteArray::fromStdString(read.mountPoint);
        entry.mountPoint = QFile::decodeName(entry.mountPointBytes);
        entry.fileSystemType = QFile::decodeName(QByteArray::fromStdString(read.fsType));
        entry.source = QFile::decodeName(QByteArray::fromStdString(read.source));
        entries.push_back(std::move(entry));
    }
    return entries;
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
