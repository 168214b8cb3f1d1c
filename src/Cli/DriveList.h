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
    // [{"name", "volume", "device", "capacity"}], the capacity in bytes; one line.
    static QByteArray json(const std::vector<DiskModelPtr> &drives);
    static QString table(const std::vector<DiskModelPtr> &drives);
    // The listed drive mounted at the path (a trailing slash is ignored); none when it is not listed.
    static DiskModelPtr find(const std::vector<DiskModelPtr> &drives, const QString &mountPath);
};
