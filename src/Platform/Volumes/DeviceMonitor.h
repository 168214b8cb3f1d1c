#pragma once

#include "Platform/Volumes/BlockDevice.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QTimer>
#include <optional>
#include <utility>
#include <vector>

class QSocketNotifier;
struct udev;
struct udev_monitor;

namespace platform {

// The block devices and how they change: a drive plugged in or pulled out, a card put into a reader, a loop
// device attached, a stick given a new file system. Most of these make no new device node, only a kernel
// event. The monitor follows the kernel's own events (libudev's monitor on the "kernel" source, which needs
// no udev daemon, and udev's once it has recorded a device) on the thread it lives on (the main thread);
// until the first one arrives, and for good where none ever do (some containers, or
// BOOTDRIVE_DEVICE_EVENTS=0), it lists the devices every second.
// A device udev keeps no record of is probed with libblkid on a worker thread, once when it appears and
// again when it changes; until the probe is done its contents are Pending.
class DeviceMonitor : public QObject
{
    Q_OBJECT

public:
    explicit DeviceMonitor(QObject *parent = nullptr);
    ~DeviceMonitor() override;

    // The application's monitor, made on first use on the main thread and owned by the application object;
    // none without one.
    static DeviceMonitor *shared();

    std::vector<BlockDevice::Record> devices() const;
    // Whether kernel events have arrived: from then on they report the changes, and the poll has stopped.
    bool followsEvents() const { return m_followsEvents; }
    // Every device now, those udev keeps no record of probed in the calling thread; a device that goes away
    // before it is read is left out.
    static std::vector<BlockDevice::Record> snapshot();

signals:
    void devicesChanged();

private:
    void receive(udev_monitor *monitor);
    // Lists the devices again, on a worker (it reads sysfs for every block device); those named in `changed`
    // are probed again even when they look the same. One listing at a time: what asks meanwhile is gathered
    // for the next.
    void rescan(const QSet<QString> &changed = {});
    void listed(std::vector<BlockDevice::Record> listing, const QSet<QString> &changed);
    void probe(const BlockDevice::Record &device);

    udev *m_udev = nullptr;
    std::vector<std::pair<udev_monitor *, QSocketNotifier *>> m_monitors;
    QTimer m_poll;
    bool m_followsEvents = false;
    QHash<QString, BlockDevice::Record> m_devices; // by kernel name
    QHash<QString, quint64> m_probes;              // the probe under way for a device
    bool m_listing = false;
    std::optional<QSet<QString>> m_rescanAgain; // asked for while a listing was under way
    quint64 m_lastProbe = 0;
};

} // namespace platform
