#pragma once

#include <QString>
#include <QStringList>
#include <sys/types.h>

namespace platform {

// Starts programs with standard output and standard error joined into one pipe and standard input from
// /dev/null. Shared by the ordinary and the privileged runners.
class Spawn
{
public:
    struct Result
    {
        pid_t pid = -1;
        int outputFd = -1; // reading end, close-on-exec; the caller owns it
        int error = 0;     // errno of a failed start
    };

    // argv0 is the program's own name as it sees it; arguments follow. An empty working directory inherits
    // the caller's. With outputWriteFd the child writes into that descriptor (which start closes in the
    // parent) and Result::outputFd stays -1; otherwise start makes the pipe. extraEnvironment entries
    // ("NAME=value") are added to the caller's environment, replacing variables of the same name.
    static Result start(const QString &program, const QStringList &arguments,
                        const QString &workingDirectory = {}, const QString &argv0 = {},
                        int outputWriteFd = -1, const QStringList &extraEnvironment = {});
};

} // namespace platform
