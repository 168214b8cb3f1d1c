#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <sys/types.h>

namespace testsupport {

// A real block device for drive tests: a sparse image file in a temporary folder on a loop device, formatted
// as ext4 (label = name) and mounted at /Volumes/<name> inside the private mount namespace. The tools under
// test may erase, rename and remount it; the fixture finds it again by its device number and on destruction
// unmounts every mount of it, detaches it and deletes the image.
//
// Guard: the fixture formats and mounts only /dev/loopN devices whose backing file is its own image, and
// mounts nothing unless the private mount namespace is in place.
class LoopDrive
{
public:
    explicit LoopDrive(const QString &name, qint64 bytes = 64 * 1024 * 1024, bool mountIt = true);
    ~LoopDrive();
    LoopDrive(const LoopDrive &) = delete;
    LoopDrive &operator=(const LoopDrive &) = delete;

    // Why drive tests cannot run here (no private mounts, no root, no loop devices); empty when they can.
    static QString skipReason();

    bool isValid() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }
    QString name() const { return m_name; }
    QString device() const { return m_device; } // /dev/loopN
    QString imagePath() const { return m_imagePath; }
    dev_t deviceNumber() const { return m_rdev; }
    qint64 bytes() const { return m_bytes; }

    // Where the device is mounted now, in mount order; empty when it is not.
    QStringList mountPoints() const;
    QString mountPoint() const;
    // The file system type of its current mount ("ext4"), empty when not mounted.
    QString fileSystemType() const;

    // Formats the device as ext4 with the label (guarded). Not while mounted.
    bool format(const QString &label);
    // Mounts the device at the path below /Volumes, creating the folders (guarded).
    bool mountAt(const QString &path);
    // The same for a path given as the file system's bytes (which need not be valid UTF-8).
    bool mountAtBytes(const QByteArray &path);
    // Unmounts every mount of the device.
    bool unmountAll();
    // Unmounts it and detaches the loop device, keeping the image: a drive pulled out.
    bool detach();
    // Attaches the image to a free loop device again, as a drive plugged in; `beforeAttaching` learns the
    // device first (a device taken meanwhile is skipped, and the next one named).
    bool attach(const std::function<void(const QString &device)> &beforeAttaching = {});

private:
    bool setUp();
    bool isOwnDevice(QString &why) const;
    void fail(const QString &what);

    QString m_name;
    qint64 m_bytes = 0;
    QTemporaryDir m_dir;
    QString m_imagePath;
    QString m_device;
    dev_t m_rdev = 0;
    int m_imageFd = -1;
    int m_loopFd = -1;
    QString m_error;
};

} // namespace testsupport
