#pragma once

#include <csignal>
#include <sys/types.h>

namespace posix {

// How the application starts the programs of a job (the erase's shell, pkexec, the privileged helper).
//
// A terminal sends its keys' signals — Ctrl-C (SIGINT), Ctrl-\ (SIGQUIT), Ctrl-Z (SIGTSTP) — and its
// hang-up (SIGHUP) to its whole foreground process group. Only the application may act on them: it stops a
// run in its own order (an erase is let finish, the creation tool is stopped through its helper), and a
// program that reacted on its own would end the run as a failure or leave it half stopped. Yet the
// programs stay in the application's process group, because pkexec's textual agent asks for the password
// on the terminal, which a background group cannot read. So they start with those signals ignored: an
// ignored disposition survives exec, pkexec's set-user-ID one included, and the shell and the disk utility
// keep it for what they run. The privileged helper leaves the group as soon as it runs. Every other signal
// starts with its default handling, and none is blocked.
class ChildProcess
{
public:
    // Holds every signal back in the calling thread while it lives. A child forked meanwhile takes the
    // terminal's signals only once prepare() has set them ignored, never through this process's handlers.
    class Forking
    {
    public:
        Forking();
        ~Forking();
        Forking(const Forking &) = delete;
        Forking &operator=(const Forking &) = delete;

    private:
        sigset_t m_previous;
    };

    // Sets that up in a child between fork and exec. Async-signal-safe.
    static void prepare();
    // Starts `path` with its argument vector and environment, its standard input, output and error on the
    // descriptors given, from the calling thread. The process id, or -1 with errno when the program could not
    // be started.
    static pid_t spawn(const char *path, char *const argv[], char *const envp[], int input, int output,
                       int error);
};

} // namespace posix
