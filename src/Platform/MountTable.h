#pragma once

#include <QString>
#include <vector>

namespace platform {

struct MountEntry
{
    QString mountPoint;
    QString source; // the device, e.g. /dev/loop3
    QString fileSystemType;
    QString deviceNumber; // major:minor
};

// The mount table as the kernel reports it for this process (/proc/self/mountinfo), in its order.
class MountTable
{
public:
    static std::vector<MountEntry>
    read(const QString &mountInfoPath = QStringLiteral("/proc/self/mountinfo"));
    static std::vector<MountEntry> parse(const QByteArray &mountInfo);
    // Mounted volumes without the hidden ones (a mount point whose last component starts with ".").
    static std::vector<MountEntry> visibleVolumes();
    // The entry mounted at the path (the last one when mounts are stacked), or an empty entry.
    static MountEntry entryForMountPoint(const QString &path);
    // Decodes the kernel's octal escapes (\040 for a blank, \012 for a line end, \134 for a backslash).
    static QString decodeEscapes(const QByteArray &field);
};

} // namespace platform
