#include "Platform/Volumes/MountMonitor.h"

#include "Platform/Volumes/ApplicationMonitor.h"

#include <QSocketNotifier>
#include <algorithm>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

MountMonitor *MountMonitor::shared()
{
    return applicationMonitor<MountMonitor>();
}

MountMonitor::MountMonitor(QObject *parent) : QObject(parent)
{
    m_known = MountTable::visibleVolumes();
    // The kernel flags /proc/self/mountinfo with POLLPRI (an exceptional condition) whenever the table
    // changes.
    m_fd.reset(::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC));
    if (m_fd) {
        m_notifier = new QSocketNotifier(m_fd.get(), QSocketNotifier::Exception, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &MountMonitor::rescan);
    }
}

MountMonitor::~MountMonitor()
{
    // The notifier goes before the descriptor it watches.
    delete m_notifier;
}

void MountMonitor::rescan()
{
    if (m_fd) {
        // Reading the file to its end acknowledges the change; otherwise the event stays raised.
        char buffer[4096];
        ::lseek(m_fd.get(), 0, SEEK_SET);
        while (::read(m_fd.get(), buffer, sizeof buffer) > 0) {
        }
    }
    const std::vector<MountEntry> now = MountTable::visibleVolumes();
    auto contains = [](const std::vector<MountEntry> &entries, const MountEntry &wanted) {
        return std::any_of(entries.begin(), entries.end(),
                           [&](const MountEntry &entry) { return entry.sameVolume(wanted); });
    };
    // Changes are computed before any notice goes out: an observer may run the event loop.
    std::vector<MountEntry> removed, added;
    for (const MountEntry &entry : m_known)
        if (!contains(now, entry) && !contains(removed, entry))
            removed.push_back(entry);
    // The kernel's order for the notices.
    for (const MountEntry &entry : now)
        if (!contains(m_known, entry) && !contains(added, entry))
            added.push_back(entry);
    m_known = now;
    for (const MountEntry &entry : removed)
        emit didUnmount(entry.mountPointBytes);
    for (const MountEntry &entry : added)
        emit didMount(entry.mountPointBytes);
}

} // namespace platform
