#pragma once

#include "Creation/DiskModel.h"

#include <variant>
#include <vector>

class DiskutilViewModel;

// What a run is doing, for a display that shows each phase honestly.
enum class DiskutilPhase
{
    Idle,
    Erasing,     // the disk utility erases the drive
    Authorizing, // the user is asked for administrator rights
    Creating,    // the creation tool erases again and copies; progress reports follow
    Verifying,   // the drive's copy is read back and compared with the installer
};

// One result of the job, told apart by kind: a fresh drive list, the erased drive, or the number no (false:
// a step failed) or yes (true: the installer drive is complete).
using DiskutilResult = std::variant<std::vector<DiskModelPtr>, DiskModelPtr, bool>;

// The receiver of the job's reports. Both callbacks are optional: a delegate says which it implements, and
// the job skips the others.
class DiskutilViewModelDelegate
{
public:
    virtual ~DiskutilViewModelDelegate() = default;

    virtual bool respondsToProgress() const { return false; }
    virtual bool respondsToCompletion() const { return false; }
    virtual bool respondsToPhase() const { return false; }
    // The ratio of data on the target volume to the installer's size.
    virtual void diskutilViewModelProgress(DiskutilViewModel &job, double progress)
    {
        (void)job;
        (void)progress;
    }
    virtual void diskutilViewModelCompletion(DiskutilViewModel &job, const DiskutilResult &result)
    {
        (void)job;
        (void)result;
    }
    // A new phase has begun (Idle after the final report).
    virtual void diskutilViewModelPhase(DiskutilViewModel &job, DiskutilPhase phase)
    {
        (void)job;
        (void)phase;
    }
};
