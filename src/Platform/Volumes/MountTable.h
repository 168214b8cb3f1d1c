#pragma once

#include <QByteArray>
#include <QString>
#include <sys/types.h>
#include <vector>

namespace platform {

struct MountEntry
{
    // For display. Mount points are bytes, not text: one that is not valid UTF-8 decodes with replacement
    // characters here and could name another folder, so every use that reaches the file system takes
    // mountPointBytes.
    QString mountPoint;
    QByteArray mountPointBytes;
    QString source; // the device, e.g. /dev/loop3
    QString fileSystemType;
    dev_t device = 0;

    // Same volume: same device, mounted at the same bytes.
    bool sameVolume(const MountEntry &other) const
    {
        return device == other.device && mountPointBytes == other.mountPointBytes;
    }
};

// The mount table as the kernel reports it for this process (/proc/self/mountinfo, parsed by libmount), in
// its order.
class MountTable
{
public:
    static std::vector<MountEntry>
    read(const QString &mountInfoPath = QStringLiteral("/proc/self/mountinfo"));
    // Mounted volumes without the hidden ones (a mount point whose last component starts with ".").
    static std::vector<MountEntry> visibleVolumes();
    // The entry mounted at the path (the last one when mounts are stacked), or an empty entry.
    static MountEntry entryForMountPoint(const QString &path);
    static MountEntry entryForMountPoint(const QByteArray &path);
    // Where the device is mounted below /Volumes now (the topmost such mount), or an empty entry. A drive
    // is followed by its device while tools erase, rename and remount it.
    static MountEntry volumeOfDevice(dev_t device);
};

} // namespace platform
