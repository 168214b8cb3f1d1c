#pragma once

#include "Creation/DiskModel.h"
#include "Platform/Volumes/RemovableDrives.h"

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

// "bootdrive list": the drives the window would offer, as a table for people or as JSON for scripts; with
// --all also the removable drives it does not offer, and why.
class DriveList
{
public:
    using Others = std::vector<platform::RemovableDrives::Drive>;

    // The drives the creation job lists now.
    static std::vector<DiskModelPtr> current();
    // [{"name", "volume", "device", "capacity", "incomplete"}], the capacity in bytes, with "vendor" and
    // "model" where known, and "record" ({"installer", "version", "made"}) for a drive whose record of how
    // it was made reads whole; one line. "volume" is the exact form of the mount path (mountPathText).
    static QByteArray json(const std::vector<DiskModelPtr> &drives);
    // The same objects with "offered": true, followed by the drives not offered: {"name", "device",
    // "capacity", "mounted" (the mount path or null), "offered": false, "reason" ("mounted-elsewhere" or
    // "not-mounted"), "message"}, with "vendor" and "model" where known, and "label-unknown" saying why
    // where the device could not be read.
    static QByteArray json(const std::vector<DiskModelPtr> &drives, const Others &others);
    // Columns NAME, MOUNT PATH, DEVICE, CAPACITY, MODEL, MADE AS (the installer and when the drive was made,
    // from its record); the header in bold when `colour`.
    static QString table(const std::vector<DiskModelPtr> &drives, bool colour = false);
    // The table, then the drives not offered with why, and the command that mounts one below /Volumes.
    static QString table(const std::vector<DiskModelPtr> &drives, const Others &others,
                         const QString &mountCommand, bool colour = false);
    // Why a drive is not offered: "mounted at /media/anna/STICK, outside /Volumes", "not mounted".
    static QString reason(const platform::RemovableDrives::Drive &drive);
    // Why its label is unknown ("not allowed to read /dev/sdb1"); empty when the device was read.
    static QString labelUnknown(const platform::RemovableDrives::Drive &drive);
    // The disk utility's command that mounts a drive below /Volumes, without the device: "…/diskutil mount".
    static QString mountCommand();
    // The removable drive not offered that is mounted exactly at the path the argument names, if any.
    static std::optional<platform::RemovableDrives::Drive> mountedElsewhere(const Others &others,
                                                                            const QByteArray &argument);
    // A mount path as text that names it exactly: the path itself when it is valid UTF-8, otherwise a
    // file:// URL in which every byte but letters, digits, "-._~" and "/" is a %XX escape
    // ("file:///Volumes/X%FF"). JSON cannot carry bytes
    // that are not UTF-8, and a lossy text could name another drive.
    static QString mountPathText(const QByteArray &path);
    // The mount path an argument names: the path itself or a file:/// URL, trailing slashes dropped; empty
    // for a URL that names no absolute path.
    static QByteArray mountPathFromArgument(const QByteArray &argument);
    // The listed drive mounted exactly at the path the argument names; none when it is not listed.
    static DiskModelPtr find(const std::vector<DiskModelPtr> &drives, const QByteArray &argument);
};
