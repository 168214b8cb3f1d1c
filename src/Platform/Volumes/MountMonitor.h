#pragma once

#include "Platform/Posix/FileDescriptor.h"
#include "Platform/Volumes/MountTable.h"

#include <QObject>

class QSocketNotifier;

namespace platform {

// Watches the mount table and, on the thread it lives on (the main thread), emits didMount once per newly
// mounted visible volume and didUnmount once per visible volume that went away, with the mount point's
// bytes. A volume is its mount point's bytes and its device, so a different drive mounted at the same path
// is both an unmount and a mount.
class MountMonitor : public QObject
{
    Q_OBJECT

public:
    explicit MountMonitor(QObject *parent = nullptr);
    ~MountMonitor() override;

    // The application's monitor, made on first use on the main thread and owned by the application object;
    // none without one.
    static MountMonitor *shared();

    // Compares the table with the last one now, as a kernel change event would.
    void rescan();

signals:
    void didMount(const QByteArray &mountPoint);
    void didUnmount(const QByteArray &mountPoint);

private:
    posix::FileDescriptor m_fd;
    QSocketNotifier *m_notifier = nullptr;
    std::vector<MountEntry> m_known;
};

} // namespace platform
