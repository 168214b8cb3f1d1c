#pragma once

#include <sys/types.h>

namespace posix {

// Whether a process group still runs anything. Signalling tells whether the group exists at all (a root
// program answers EPERM to anyone else); the process table tells a zombie nobody has reaped yet, which
// counts as ended, from a running program.
class ProcessGroup
{
public:
    // True while a process of the group other than `except` runs.
    static bool isAlive(pid_t group, pid_t except = 0);
};

} // namespace posix
