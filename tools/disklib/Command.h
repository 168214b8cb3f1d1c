#pragma once

#include <string>
#include <vector>

namespace disktools {

struct CommandResult
{
    bool started = false;
    int exitStatus = -1; // the exit code, or -1 when the program was killed by a signal or never ran
    int signal = 0;      // the signal that ended it, if one did
    std::string output;  // standard output and standard error as one stream
    std::string error;   // why it could not be started
};

// Runs helper programs (mkfs.*) with no shell in between and with a clean signal state.
class Command
{
public:
    // The program's path found on PATH (or the name itself when it contains a slash and is executable); empty
    // when there is none. mkfs tools live in sbin folders a user's PATH may lack; withSystemFolders adds
    // them.
    static std::string find(const std::string &name, bool withSystemFolders = true);
    // Runs the program with standard input from /dev/null and collects its output. It runs in a process
    // group of its own, so signals sent to the caller's group do not reach it.
    static CommandResult run(const std::vector<std::string> &arguments);
    // Runs the program with this process's standard streams and waits for it.
    static CommandResult runInheritingOutput(const std::vector<std::string> &arguments);
    // A one-line description of how a finished command ended, for error messages.
    static std::string describeEnd(const CommandResult &result);
};

} // namespace disktools
