#pragma once

#include <QString>

namespace testsupport {

// Drive tests mount and erase real block devices. They do it only inside a mount namespace of the test
// process's own, with a private tmpfs on /Volumes, so nothing is mounted or erased on the host. enter() is
// called first thing in main(), before any thread exists (unshare(CLONE_NEWNS) needs a single thread), so
// every thread and child process of the test lives inside it.
class PrivateMounts
{
public:
    // Needs root; BOOTDRIVE_TEST_PRIVATE_MOUNTS=0 turns it off. Remembers what happened.
    static void enter();
    static bool ready();
    // Why the namespace is not there ("needs root", the failing call and its errno text); empty when ready.
    static QString skipReason();
};

inline bool privateMountsReady()
{
    return PrivateMounts::ready();
}

} // namespace testsupport
