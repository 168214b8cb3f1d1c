// bootdrive-privileged-exec: started by pkexec once polkit has granted the right (or directly by an
// application that already runs as root). It tells the waiting application so by printing "authorized" on
// its own line, then runs the requested program, whose output follows on the same stream, and ends with the
// program's status (128 + the signal number for a program that was killed).
//
// It stays the program's parent so that the application, which may not signal a program running as root,
// can still stop it: a line "cancel" or the end of a pipe on the helper's standard input, or SIGTERM, SIGINT
// or SIGHUP to the helper, stops the program's whole process group with SIGTERM, and 5 s later SIGKILL.
//
//   bootdrive-privileged-exec [--cwd DIR] -- PROGRAM [ARGUMENTS...]
//   bootdrive-privileged-exec --check        (only reports the right)
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <initializer_list>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace {

constexpr int kGraceMs = 5000;
int wakePipe[2] = {-1, -1};

void wake(int)
{
    const int saved = errno;
    const char byte = 0;
    (void)!::write(wakePipe[1], &byte, 1);
    errno = saved;
}

long long nowMs()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

int statusOf(int waitStatus)
{
    if (WIFEXITED(waitStatus))
        return WEXITSTATUS(waitStatus);
    if (WIFSIGNALED(waitStatus))
        return 128 + WTERMSIG(waitStatus);
    return 1;
}

// Only a pipe on standard input carries requests; /dev/null or a terminal does not, so its end is no request.
bool inputIsPipe()
{
    struct stat info
    {};
    return ::fstat(STDIN_FILENO, &info) == 0 && S_ISFIFO(info.st_mode);
}

// Reads what has arrived on standard input; true when it asks to stop (a "cancel" line, or the end).
bool inputAsksToStop(char *line, size_t &length, size_t capacity)
{
    char buffer[256];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n < 0)
        return errno != EINTR && errno != EAGAIN;
    if (n == 0)
        return true;
    for (ssize_t i = 0; i < n; ++i) {
        if (buffer[i] == '\n') {
            line[length] = '\0';
            if (std::strcmp(line, "cancel") == 0)
                return true;
            length = 0;
        } else if (length + 1 < capacity) {
            line[length++] = buffer[i];
        }
    }
    return false;
}

int supervise(pid_t child)
{
    bool watchInput = inputIsPipe();
    char line[64];
    size_t length = 0;
    long long killAt = -1; // when SIGKILL follows the SIGTERM already sent
    bool stopped = false;
    for (;;) {
        int status = 0;
        const pid_t ended = ::waitpid(child, &status, WNOHANG);
        if (ended == child) {
            // Whatever the program left behind in its group goes with it.
            ::kill(-child, SIGKILL);
            return statusOf(status);
        }
        if (ended < 0 && errno != EINTR)
            return 1;
        pollfd fds[2] = {{wakePipe[0], POLLIN, 0}, {watchInput ? STDIN_FILENO : -1, POLLIN, 0}};
        int timeout = 100; // children end without a wake-up unless SIGCHLD is caught: poll the wait too
        if (killAt >= 0) {
            const long long left = killAt - nowMs();
            if (left <= 0) {
                ::kill(-child, SIGKILL);
                killAt = -1;
                continue;
            }
            timeout = static_cast<int>(left < timeout ? left : timeout);
        }
        if (::poll(fds, 2, timeout) < 0 && errno != EINTR)
            return 1;
        bool stop = false;
        if (fds[0].revents & POLLIN) {
            char drain[64];
            while (::read(wakePipe[0], drain, sizeof drain) > 0) {
            }
            stop = true; // a signal to the helper
        }
        if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) {
            if (inputAsksToStop(line, length, sizeof line)) {
                stop = true;
                watchInput = false; // said once is enough; an ended pipe would be readable for ever
            }
        }
        if (stop && killAt < 0 && !stopped) {
            stopped = true;
            ::kill(-child, SIGTERM);
            killAt = nowMs() + kGraceMs;
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    const char *cwd = nullptr;
    int i = 1;
    if (argc == 2 && std::strcmp(argv[1], "--check") == 0) {
        std::fputs("authorized\n", stdout);
        return 0;
    }
    for (; i < argc; ++i) {
        if (std::strcmp(argv[i], "--cwd") == 0 && i + 1 < argc) {
            cwd = argv[++i];
        } else if (std::strcmp(argv[i], "--") == 0) {
            ++i;
            break;
        } else {
            std::fprintf(stderr, "bootdrive-privileged-exec: unexpected argument %s\n", argv[i]);
            return 2;
        }
    }
    if (i >= argc || argv[i][0] != '/') {
        std::fputs("bootdrive-privileged-exec: an absolute program path is required\n", stderr);
        return 2;
    }
    if (cwd && ::chdir(cwd) != 0) {
        std::fprintf(stderr, "bootdrive-privileged-exec: cannot enter %s: %s\n", cwd, std::strerror(errno));
        return 2;
    }
    if (::pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::perror("bootdrive-privileged-exec: pipe");
        return 2;
    }
    struct sigaction action
    {};
    action.sa_handler = wake;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signal, &action, nullptr);

    std::fputs("authorized\n", stdout);
    std::fflush(stdout);
    const pid_t child = ::fork();
    if (child < 0) {
        std::perror("bootdrive-privileged-exec: fork");
        return 2;
    }
    if (child == 0) {
        // A group of its own, so a stop reaches everything the program starts.
        ::setpgid(0, 0);
        for (int signal : {SIGTERM, SIGINT, SIGHUP})
            ::signal(signal, SIG_DFL);
        ::close(STDIN_FILENO);
        ::open("/dev/null", O_RDONLY);
        // The program keeps the argument vector as given, its own path included as argv[0].
        ::execv(argv[i], argv + i);
        std::fprintf(stderr, "bootdrive-privileged-exec: cannot run %s: %s\n", argv[i], std::strerror(errno));
        ::_exit(127);
    }
    ::setpgid(child, child);
    return supervise(child);
}
