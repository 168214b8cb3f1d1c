#include "Platform/Volumes/DeviceMonitor.h"

#include "Platform/Posix/VolumeProbe.h"
#include "Platform/Volumes/ApplicationMonitor.h"

#include <QFile>
#include <QSocketNotifier>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>
#include <cerrno>
#include <cstring>
#include <libudev.h>

namespace platform {

namespace {

// A failing stick can take seconds to answer each read; probing it never holds up the short work on Qt's
// global pool. Never destroyed: a probe may outlast the monitor.
QThreadPool *probes()
{
    static QThreadPool *pool = new QThreadPool;
    return pool;
}

using Record = BlockDevice::Record;
using State = BlockDevice::Contents::State;

// What the device holds, read from it. A device gone before it could be read stays Pending.
BlockDevice::Contents probed(const QString &node)
{
    const posix::VolumeProbe::Result probe = posix::VolumeProbe::probe(QFile::encodeName(node).toStdString());
    BlockDevice::Contents contents;
    contents.state = probe.error == EACCES || probe.error == EPERM ? State::NotPermitted
                     : probe.gone()                                ? State::Pending
                     : probe.error != 0                            ? State::Unreadable
                                                                   : State::Known;
    contents.failure = probe.error != 0 ? QString::fromLocal8Bit(std::strerror(probe.error)) : QString();
    contents.fileSystem = QString::fromStdString(probe.type);
    contents.usage = QString::fromStdString(probe.usage);
    contents.label = QByteArray::fromStdString(probe.label);
    return contents;
}

} // namespace

DeviceMonitor *DeviceMonitor::shared()
{
    return applicationMonitor<DeviceMonitor>();
}

DeviceMonitor::DeviceMonitor(QObject *parent) : QObject(parent)
{
    m_poll.setInterval(1000);
    connect(&m_poll, &QTimer::timeout, this, [this] { rescan(); });
    m_poll.start();
    if (qEnvironmentVariable("BOOTDRIVE_DEVICE_EVENTS") != QLatin1String("0"))
        m_udev = udev_new();
    // The kernel's own events reach any process that listens, with or without a udev daemon. Where one runs,
    // its events follow once it has probed a device and kept its record: a device the kernel announced
    // before that is then named as udev knows it, also to a user who may not read it.
    for (const char *source : {"kernel", "udev"}) {
        udev_monitor *monitor = m_udev ? udev_monitor_new_from_netlink(m_udev, source) : nullptr;
        if (!monitor || udev_monitor_filter_add_match_subsystem_devtype(monitor, "block", nullptr) < 0 ||
            udev_monitor_enable_receiving(monitor) < 0) {
            udev_monitor_unref(monitor);
            continue;
        }
        auto *notifier = new QSocketNotifier(udev_monitor_get_fd(monitor), QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, [this, monitor] { receive(monitor); });
        m_monitors.emplace_back(monitor, notifier);
    }
    rescan();
}

DeviceMonitor::~DeviceMonitor()
{
    for (const auto &[monitor, notifier] : m_monitors) {
        // The notifier goes before the socket it watches.
        delete notifier;
        udev_monitor_unref(monitor);
    }
    udev_unref(m_udev);
}

std::vector<Record> DeviceMonitor::devices() const
{
    return {m_devices.cbegin(), m_devices.cend()};
}

void DeviceMonitor::receive(udev_monitor *monitor)
{
    QSet<QString> changed;
    while (udev_device *device = udev_monitor_receive_device(monitor)) {
        changed.insert(QString::fromUtf8(udev_device_get_sysname(device)));
        udev_device_unref(device);
    }
    m_followsEvents = true;
    m_poll.stop();
    rescan(changed);
}

void DeviceMonitor::rescan(const QSet<QString> &changed)
{
    if (m_listing) {
        m_rescanAgain = m_rescanAgain.value_or(QSet<QString>()) + changed;
        return;
    }
    m_listing = true;
    QtConcurrent::run([] {
        return BlockDevice::list();
    }).then(this, [this, changed](std::vector<Record> listing) { listed(std::move(listing), changed); });
}

void DeviceMonitor::listed(std::vector<Record> listing, const QSet<QString> &changed)
{
    m_listing = false;
    QHash<QString, Record> now;
    std::vector<Record> unread;
    bool differs = false;
    for (Record &device : listing) {
        const auto known = m_devices.constFind(device.name);
        const bool same = known != m_devices.cend() && known->sameMedium(device);
        // What a probe of the medium that was there would say no longer applies.
        if (!same)
            m_probes.remove(device.name);
        State &state = device.contents.state;
        if (state == State::Pending && device.capacity == 0)
            state = State::Known; // no medium, nothing to read
        else if (state == State::Pending && same && !changed.contains(device.name))
            device.contents = known->contents;
        else if (state == State::Pending)
            unread.push_back(device);
        differs = differs || !same || known->contents != device.contents;
        now.insert(device.name, device);
    }
    differs = differs || now.size() != m_devices.size();
    m_devices = std::move(now);
    if (differs)
        emit devicesChanged();
    // Only now: a probe's answer may arrive at once, and it goes into the list just made.
    for (const Record &device : unread)
        probe(device);
    if (std::optional<QSet<QString>> again = std::exchange(m_rescanAgain, std::nullopt))
        rescan(*again);
}

void DeviceMonitor::probe(const Record &device)
{
    const quint64 ticket = ++m_lastProbe;
    m_probes.insert(device.name, ticket);
    // A drive may take long to answer (a failing stick retries for seconds): never on the main thread.
    QtConcurrent::run(probes(), [node = device.node] {
        return probed(node);
    }).then(this, [this, name = device.name, ticket](const BlockDevice::Contents &contents) {
        if (m_probes.value(name) != ticket)
            return;
        m_probes.remove(name);
        const auto found = m_devices.find(name);
        if (found == m_devices.end())
            return;
        // Gone before it could be read: it goes without a word, as the next listing would drop it.
        if (contents.state == State::Pending)
            m_devices.erase(found);
        else
            found->contents = contents;
        emit devicesChanged();
    });
}

std::vector<Record> DeviceMonitor::snapshot()
{
    std::vector<Record> devices;
    for (Record &device : BlockDevice::list()) {
        if (device.contents.state == State::Pending && device.capacity == 0)
            device.contents.state = State::Known;
        else if (device.contents.state == State::Pending)
            device.contents = probed(device.node);
        if (device.contents.state != State::Pending)
            devices.push_back(std::move(device));
    }
    return devices;
}

} // namespace platform
