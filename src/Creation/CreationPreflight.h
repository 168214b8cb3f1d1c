#pragma once

#include "Creation/DiskModel.h"
#include "Creation/MacOSModel.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <sys/types.h>

// The checks between the user's confirmation and the erase. A job that cannot succeed must not start: the
// erase would destroy the drive's contents (or the installer itself, when it lies on that drive) for nothing.
// The checks read only what they are given, so they can run on a worker while the window waits.
class CreationPreflight
{
public:
    enum class Refusal
    {
        None,
        DriveGone,        // the confirmed volume is no longer mounted where it was
        InstallerOnDrive, // the installer lies on the drive that would be erased
        ToolCannotRun,    // the bundle's creation tool is missing or cannot run on this machine
        DriveTooSmall,    // the drive's device cannot hold the installer once erased
        NoMountPoint,     // no mount point below /Volumes is free for the finished drive
    };
    // What the checks look at, copied from the records (which belong to the main thread).
    struct Input
    {
        QByteArray bundlePath;
        QByteArray toolPath;
        QByteArray volumePath;
        dev_t device = 0;
        uint64_t capacity = 0;
        QByteArray finishedName; // the name the finished drive gets: the installer's
    };
    struct Result
    {
        Refusal refusal = Refusal::None;
        uint64_t needed = 0;        // DriveTooSmall: the capacity the installer needs
        uint64_t capacity = 0;      // DriveTooSmall: the drive's capacity
        QString detail;             // an English note for the log
        int64_t installerBytes = 0; // what the installer holds, for progress in bytes
    };

    static Input inputFor(const MacOSModel &installer, const DiskModel &drive);
    // Runs every check in order and returns the first refusal. Walks the bundle: call it off the GUI thread.
    static Result check(const Input &input);
};
