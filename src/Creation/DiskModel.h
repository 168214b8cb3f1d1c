#pragma once

#include "Platform/Volumes/MountTable.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <cstdint>
#include <memory>
#include <sys/types.h>

// One mounted volume the user can pick: its name, mount path and 20 × 20 icon, and what identifies it: the
// device and the mount path as the file system's bytes. A plain value holder: it does not follow its
// volume, except that the creation job rewrites the mount path after erasing it.
class DiskModel
{
public:
    DiskModel() = default;
    // A record for the volume mounted at the path (a trailing slash is ignored).
    static std::shared_ptr<DiskModel> initWithURL(const QString &mountPath);
    // A record for one entry of the mount table. With readVolume false nothing on the volume is read (its
    // icon is the plain drive icon): a volume the job is working on is left alone.
    static std::shared_ptr<DiskModel> initWithMountEntry(const platform::MountEntry &entry, bool readVolume);

    // The text without white space and line ends at both ends.
    static QString removeSpaceAndNewline(const QString &text);
    // True only for a disk-utility listing line that begins with "/dev" and says "(external, physical)".
    static bool isExternalWithPath(const QString &text);

    const QString &name() const { return m_name; }
    void setName(const QString &v) { m_name = v; }
    const QString &size() const { return m_size; }
    void setSize(const QString &v) { m_size = v; }
    // The mount path as text; volumePath() holds the exact bytes, which this may not represent.
    const QString &volume() const { return m_volume; }
    void setVolume(const QString &v);
    const QByteArray &volumePath() const { return m_volumePath; }
    void setVolumePath(const QByteArray &bytes);
    const QString &device() const { return m_device; }
    void setDevice(const QString &v) { m_device = v; }
    const QImage &image() const { return m_image; }
    void setImage(const QImage &v) { m_image = v; }

    // The volume's device number (0 when unknown), its node ("/dev/sdb1") and the device's size in bytes.
    dev_t deviceNumber() const { return m_deviceNumber; }
    void setDeviceNumber(dev_t device) { m_deviceNumber = device; }
    const QString &deviceNode() const { return m_deviceNode; }
    void setDeviceNode(const QString &node) { m_deviceNode = node; }
    uint64_t capacity() const { return m_capacity; }
    void setCapacity(uint64_t bytes) { m_capacity = bytes; }
    // The drive's maker and model as the system knows them ("SanDisk", "Cruzer Blade"); empty when unknown.
    const QString &vendor() const { return m_vendor; }
    void setVendor(const QString &vendor) { m_vendor = vendor; }
    const QString &model() const { return m_model; }
    void setModel(const QString &model) { m_model = model; }
    // "SanDisk Cruzer Blade · /dev/sdb1 · 14.90 GB": what will be erased, the maker and model where known;
    // empty when the device is unknown.
    QString deviceSummary() const;
    // Whether both records stand for the same mounted volume.
    bool isSameVolume(const DiskModel &other) const;
    // A drive named after an installer ("Install macOS Mojave", "Install macOS Mojave 1") that lacks the
    // finished installer's marker: left behind by a run that was cancelled or failed. Known only when the
    // volume was read.
    bool isIncompleteInstaller() const { return m_incompleteInstaller; }
    void setIncompleteInstaller(bool incomplete) { m_incompleteInstaller = incomplete; }

private:
    QString m_name;
    QString m_size;
    QString m_volume;
    QByteArray m_volumePath;
    QString m_device;
    QImage m_image;
    dev_t m_deviceNumber = 0;
    QString m_deviceNode;
    uint64_t m_capacity = 0;
    QString m_vendor;
    QString m_model;
    bool m_incompleteInstaller = false;
};

using DiskModelPtr = std::shared_ptr<DiskModel>;
