#pragma once

#include "Platform/Posix/FileDescriptor.h"
#include "Platform/Volumes/MountTable.h"

#include <QObject>
#include <QSet>

class QSocketNotifier;

namespace platform {

// Watches the mount table and posts, on the workspace's notification centre and on the thread it lives on
// (the main thread), one "NSWorkspaceDidMountNotification" per newly mounted visible volume and one
// "NSWorkspaceDidUnmountNotification" per visible volume that went away. A volume is its mount point's bytes
// and its device, so a different drive mounted at the same path is both an unmount and a mount. The notice
// carries the mount point under "NSDevicePath".
class MountMonitor : public QObject
{
    Q_OBJECT

public:
    static const QString DidMountNotification;
    static const QString DidUnmountNotification;
    static const QString DevicePathKey;

    explicit MountMonitor(QObject *parent = nullptr);
    ~MountMonitor() override;

    // Compares the table with the last one now, as a kernel change event would.
    void rescan();

private:
    posix::FileDescriptor m_fd;
    QSocketNotifier *m_notifier = nullptr;
    std::vector<MountEntry> m_known;
};

} // namespace platform
