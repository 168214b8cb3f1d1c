#pragma once

#include <string>
#include <sys/types.h>

namespace disktools {

// Administrator rights for the disk utility: a tool started without them runs itself again through pkexec.
class Privilege
{
public:
    // Root, unless BOOTDRIVE_DISKUTIL_ASSUME_USER=1 asks the tool to behave as if started by a user (tests
    // use it to walk the pkexec path as root). A run that came through pkexec is never sent there again.
    static bool needsElevation();
    // Whether this process was started by pkexec (it sets PKEXEC_UID).
    static bool startedByPkexec();
    // The user who asked pkexec for this run, when there was one.
    static bool invokingUser(uid_t &uid, gid_t &gid);
    // Runs this very program again through pkexec (looked up on PATH) with "--parent <this process>" and the
    // same arguments, and returns the exit status to end with. Refusals are reported with an "Error:" line
    // that names what needed the rights ("erase") and what was therefore left alone ("the volume was not
    // erased").
    static int rerunThroughPkexec(int argc, char **argv, const std::string &verb,
                                  const std::string &unchanged);
    // In the run pkexec started: SIGTERM when the process that asked for it ends, so no root run goes on
    // without it. False when that process has already gone.
    static bool tieToParent(pid_t parent);
};

} // namespace disktools
