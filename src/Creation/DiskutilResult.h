#pragma once

#include "Creation/DiskModel.h"

#include <QMetaType>
#include <vector>

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
    // Yes: the drive keeps the record of what was verified (.BootDrive/record), so it can be checked again
    // later; not when it was not verified, or the record could not be written.
    bool recorded = false;
};

Q_DECLARE_METATYPE(DiskutilResult)
