#pragma once

#include "Creation/DiskModel.h"

#include <functional>
#include <vector>

class DiskutilViewModel;

// Where a run stands. A run goes Checking → Erasing → Erased → Authorizing → Creating → Verifying and back to
// Idle with its final report; any step may end it early. A run may also begin at the erase or at the create
// step, and without a verification it ends after Creating.
enum class DiskutilState
{
    Idle,
    Checking,    // the checks before the erase: nothing has been changed yet
    Erasing,     // the disk utility erases the drive
    Erased,      // the erased drive waits for the create step
    Authorizing, // the user is asked for administrator rights
    Creating,    // the creation tool erases again and copies; progress reports follow
    Verifying,   // the drive's copy is read back and compared with the installer
};

// One result of the job, tagged with its kind.
struct DiskutilResult
{
    enum class Kind
    {
        Drives, // a drive list was made: `drives`
        Erased, // the erase step succeeded: `drive` is the caller's record, its volume the new mount path
        No,     // a step failed, was refused or cancelled (the job's lastFailure() says which)
        Yes,    // the installer drive is complete
    };
    Kind kind = Kind::No;
    std::vector<DiskModelPtr> drives;
    DiskModelPtr drive;
};

// The receiver of the job's reports, held weakly by the job. Every callback is optional: one left empty is
// not called, and where the job's behaviour depends on a receiver (an erased drive's record is rewritten
// only when someone hears of it) an empty completion counts as none. All are called on the main thread.
struct DiskutilViewModelDelegate
{
    // The ratio of data on the target volume to the installer's size.
    std::function<void(DiskutilViewModel &job, double progress)> diskutilViewModelProgress;
    std::function<void(DiskutilViewModel &job, const DiskutilResult &result)> diskutilViewModelCompletion;
    // How much of the comparison after the copy is read: bytes of both sides together, of their total.
    std::function<void(DiskutilViewModel &job, qint64 bytesDone, qint64 bytesTotal)>
        diskutilViewModelVerification;
    // A new state has begun (Idle after the final report).
    std::function<void(DiskutilViewModel &job, DiskutilState state)> diskutilViewModelState;
};
