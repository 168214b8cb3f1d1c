#pragma once

#include "Creation/DiskModel.h"

#include <QByteArray>
#include <QString>
#include <vector>

// "bootdrive list": the drives the window would offer, as a table for people or as JSON for scripts.
class DriveList
{
public:
    // The drives the creation job lists now.
    static std::vector<DiskModelPtr> current();
    // [{"name", "volume", "device", "capacity", "incomplete"}], the capacity in bytes; one line. "volume" is
    // the exact form of the mount path (mountPathText).
    static QByteArray json(const std::vector<DiskModelPtr> &drives);
    static QString table(const std::vector<DiskModelPtr> &drives);
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
