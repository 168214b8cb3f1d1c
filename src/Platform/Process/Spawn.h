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
        int inputFd = -1; // with Options::inputPipe: the writing end of the child's input; the caller owns it
        int error = 0;    // errno of a failed start
    };
    struct Options
    {
        // Empty: the caller's. The child's alone; the caller's own never changes.
        QString workingDirectory;
        // The program's own name as it sees it; empty: the program path.
        QString argv0;
        // With a descriptor the child writes into it (start closes it in the parent) and Result::outputFd
        // stays -1; otherwise start makes the pipe.
        int outputWriteFd = -1;
        // "NAME=value" entries added to the caller's environment, replacing variables of the same name.
        QStringList extraEnvironment;
        // Standard input from a pipe the caller writes to (Result::inputFd), instead of /dev/null.
        bool inputPipe = false;
    };

    static Result start(const QString &program, const QStringList &arguments, const Options &options);
    static Result start(const QString &program, const QStringList &arguments)
    {
        return start(program, arguments, Options());
    }
};

} // namespace platform
