#include "Platform/MountMonitor.h"

#include "Platform/NotificationCenter.h"
#include "Platform/String.h"

#include <QSocketNotifier>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

const QString MountMonitor::DidMountNotification = QStringLiteral("NSWorkspaceDidMountNotification");
const QString MountMonitor::DevicePathKey = QStringLiteral("NSDevicePath");

MountMonitor::MountMonitor(QObject *parent) : QObject(parent)
{
    m_known = currentMountPoints();
    // The kernel flags /proc/self/mountinfo with POLLPRI (an exceptional condition) whenever the table
    // changes.
    m_fd = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    if (m_fd >= 0) {
        m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Exception, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &MountMonitor::rescan);
    }
}

MountMonitor::~MountMonitor()
{
    delete m_notifier;
    if (m_fd >= 0)
        ::close(m_fd);
}

QSet<QString> MountMonitor::currentMountPoints() const
{
    QSet<QString> points;
    for (const MountEntry &entry : MountTable::visibleVolumes())
        points.insert(entry.mountPoint);
    return points;
}

void MountMonitor::rescan()
{
    if (m_fd >= 0) {
        // Reading the file to its end acknowledges the change; otherwise the event stays raised.
        char buffer[4096];
        ::lseek(m_fd, 0, SEEK_SET);
        while (::read(m_fd, buffer, sizeof buffer) > 0) {
        }
    }
    // Keep the kernel's order for the notices.
    QStringList added;
    QSet<QString> now;
    for (const MountEntry &entry : MountTable::visibleVolumes()) {
        now.insert(entry.mountPoint);
        if (!m_known.contains(entry.mountPoint) && !added.contains(entry.mountPoint))
            added << entry.mountPoint;
    }
    m_known = now;
    for (const QString &point : added) {
        auto info = std::make_shared<Dictionary>();
        info->setValue(DevicePathKey, String::make(point));
        NotificationCenter::workspaceCenter().post(DidMountNotification, this, info);
    }
}

} // namespace platform
