#pragma once

#include <string>

namespace posix {

// Tells whether this machine can start a program file, before anything depends on it: another machine's
// binary (a Mac's Mach-O, an ARM ELF on x86), a script whose interpreter is missing, or a file without an
// execute bit would only fail once started, after the drive had been erased.
class ExecutableFormat
{
public:
    // Empty when the file can run here; otherwise a short English reason.
    static std::string whyCannotRun(const std::string &path);
};

} // namespace posix
