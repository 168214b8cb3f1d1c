#include "Platform/Posix/ChildProcess.h"

#include "Platform/Posix/Pipe.h"

#include <cerrno>
#include <csignal>
#include <optional>
#include <pthread.h>
#include <sys/wait.h>
#include <unistd.h>

namespace posix {

ChildProcess::Forking::Forking()
{
    sigset_t all;
    sigfillset(&all);
    ::pthread_sigmask(SIG_SETMASK, &all, &m_previous);
}

ChildProcess::Forking::~Forking()
{
    ::pthread_sigmask(SIG_SETMASK, &m_previous, nullptr);
}

void ChildProcess::prepare()
{
    struct sigaction action
    {};
    sigemptyset(&action.sa_mask);
    for (int signal = 1; signal < NSIG; ++signal) {
        const bool terminal = signal == SIGINT || signal == SIGQUIT || signal == SIGTSTP || signal == SIGHUP;
        action.sa_handler = terminal ? SIG_IGN : SIG_DFL;
        ::sigaction(signal, &action, nullptr);
    }
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
}

pid_t ChildProcess::spawn(const char *path, char *const argv[], char *const envp[], int input, int output,
                          int error)
{
    // A failed exec is told through this pipe; a successful one closes it unseen.
    Pipe failure;
    if (!failure.open())
        return -1;
    // Released in this process once the child exists; the child never leaves this function.
    std::optional<Forking> forking(std::in_place);
    const pid_t pid = ::fork();
    if (pid == 0) {
        // dup2 clears close-on-exec on the copies, so the streams reach the program.
        ::dup2(input, STDIN_FILENO);
        ::dup2(output, STDOUT_FILENO);
        ::dup2(error, STDERR_FILENO);
        prepare();
        ::execve(path, argv, envp);
        const int code = errno;
        (void)!::write(failure.write.get(), &code, sizeof code);
        ::_exit(127);
    }
    forking.reset();
    if (pid < 0)
        return -1;
    failure.write.reset();
    int code = 0;
    ssize_t n;
    while ((n = ::read(failure.read.get(), &code, sizeof code)) < 0 && errno == EINTR) {
    }
    if (n != sizeof code)
        return pid;
    while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
    errno = code;
    return -1;
}

} // namespace posix
