#pragma once

#include "Platform/MountTable.h"

#include <QObject>
#include <QSet>

class QSocketNotifier;

namespace platform {

// Watches the mount table and posts one "NSWorkspaceDidMountNotification" per newly mounted visible volume
// on the workspace's notification centre, on the thread it lives on (the main thread). The notice carries the
// mount point under "NSDevicePath". Unmounts post nothing.
class MountMonitor : public QObject
{
    Q_OBJECT

public:
    static const QString DidMountNotification;
    static const QString DevicePathKey;

    explicit MountMonitor(QObject *parent = nullptr);
    ~MountMonitor() override;

    // Compares the table with the last one now, as a kernel change event would.
    void rescan();

private:
    QSet<QString> currentMountPoints() const;

    int m_fd = -1;
    QSocketNotifier *m_notifier = nullptr;
    QSet<QString> m_known;
};

} // namespace platform
