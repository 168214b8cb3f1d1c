// bootdrive-privileged-exec: started by pkexec once polkit has granted the right (or directly by an
// application that already runs as root). It runs one program as root — an installer's own
// Contents/Resources/createinstallmedia or one of BootDrive's tools beside it, nothing else — and tells the
// waiting application so: a line "group <id>" with the program's process group, then "authorized" on its
// own line, after which the program's output follows on the same stream. It ends with the program's status
// (128 + the signal number for a program that was killed).
//
// It stays the program's parent so that the application, which may not signal a program running as root,
// can still stop it: a line "cancel" or the end of a pipe on the helper's standard input, or SIGTERM, SIGINT
// or SIGHUP to the helper, stops the program's whole process group with SIGTERM, and 5 s later SIGKILL. A
// helper that dies without that chance (SIGKILL, the out-of-memory killer) takes the program with it: the
// program gets SIGTERM when its parent is gone, and a guard process stops the rest of its group.
//
// The helper and the program are out of the terminal's reach: the helper leaves the process group it was
// started in (the application's, which pkexec shares so it can ask for a password on the terminal) before
// it takes any signal, and the program runs in a group of its own. Ctrl-C, Ctrl-\, Ctrl-Z and a terminal's
// hang-up go to the application alone, which stops the program in its own order.
//
// With --stay the same helper, and so the same authorization, serves one more request once the program has
// ended: the drive's record, which belongs to root like everything the creation tool put on the drive. When
// the program has ended and nothing of its group runs any more, the helper writes a line of its own to the
// same stream, "bootdrive-privileged-exec: ended <status>", after a line break so that it stands alone
// whatever the program wrote last, and waits on its standard input for one command:
//
//   record <length> <major>:<minor> <volume>\n   followed by exactly <length> bytes (at most 16 MiB): runs
//       BootDrive's bootdrive-record beside the helper with `--volume <volume> --device <major>:<minor>`
//       and those bytes on its standard input, passes its output on, and ends with its status
//   done                                      ends with the program's status
//
// A "cancel" line, the end of the input or a stop signal ends the wait with the program's status too, and
// stops the record tool as it stops the program. Anything else ends it with status 2, running nothing.
//
//   bootdrive-privileged-exec [--cwd DIR] [--stay] -- PROGRAM [ARGUMENTS...]
//   bootdrive-privileged-exec --check        (only reports the right)
//   bootdrive-privileged-exec --install HELPER_TARGET POLICY_SOURCE POLICY_TARGET
//                                            (installs this helper and its polkit action; run through the
//                                            helper like any other program)
#include "Platform/Posix/FileDescriptor.h"
#include "Platform/Posix/PrivilegedProgram.h"
#include "Platform/Posix/ProcessGroup.h"
#include "Platform/Posix/RegularFile.h"
#include "Platform/Volumes/DriveRecord.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <initializer_list>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char **environ;

namespace {

constexpr int kGraceMs = 5000;
constexpr const char *kName = "bootdrive-privileged-exec";
constexpr const char *kRecordTool = "bootdrive-record";
// A command line: "record", two numbers and a path.
constexpr size_t kMaxCommand = 64 + PATH_MAX;
int wakePipe[2] = {-1, -1};
// Asked to stop, by a signal or on the input: once is enough for every state that follows.
bool stopAsked = false;

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

// Refusals exit with 2: pkexec's own 126 and 127 mean a dismissed or denied dialog to the application.
int refuse(const std::string &message)
{
    std::fprintf(stderr, "%s: %s\n", kName, message.c_str());
    return 2;
}

std::string ownFolder()
{
    char self[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0)
        return {};
    self[n] = '\0';
    std::string path(self);
    return path.substr(0, path.rfind('/'));
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
    bool watchInput = inputIsPipe() && !stopAsked;
    char line[64];
    size_t length = 0;
    long long killAt = -1; // when SIGKILL follows the SIGTERM already sent
    bool stopped = false;
    // The program's end wakes the wait at once where the kernel hands out process descriptors; elsewhere
    // the wait is polled.
    const posix::FileDescriptor ending(static_cast<int>(::syscall(SYS_pidfd_open, child, 0)));
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
        pollfd fds[3] = {{wakePipe[0], POLLIN, 0},
                         {watchInput ? STDIN_FILENO : -1, POLLIN, 0},
                         {ending ? ending.get() : -1, POLLIN, 0}};
        int timeout = ending ? 1000 : 100;
        if (killAt >= 0) {
            const long long left = killAt - nowMs();
            if (left <= 0) {
                ::kill(-child, SIGKILL);
                killAt = -1;
                continue;
            }
            timeout = static_cast<int>(left < timeout ? left : timeout);
        }
        if (::poll(fds, 3, timeout) < 0 && errno != EINTR)
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
            stopAsked = true;
            ::kill(-child, SIGTERM);
            killAt = nowMs() + kGraceMs;
        }
    }
}

// Writes `length` bytes to a fresh file beside `target` and renames it into place, so a reader never sees a
// half-written helper or action.
bool placeFile(const std::string &target, const char *data, size_t length, mode_t mode, std::string &error)
{
    const std::string folder = target.substr(0, target.rfind('/'));
    std::string made;
    for (size_t slash = 1; slash <= folder.size(); ++slash) {
        if (slash == folder.size() || folder[slash] == '/') {
            made = folder.substr(0, slash);
            if (::mkdir(made.c_str(), 0755) != 0 && errno != EEXIST) {
                error = "cannot create " + made + ": " + std::strerror(errno);
                return false;
            }
        }
    }
    const std::string temporary = target + ".new";
    posix::FileDescriptor out(
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, mode));
    const bool written = out.isValid() && ::fchmod(out.get(), mode) == 0 &&
                         posix::FileDescriptor::writeAll(out.get(), data, length);
    if (!written || ::fsync(out.get()) != 0 || ::close(out.release()) != 0 ||
        ::rename(temporary.c_str(), target.c_str()) != 0) {
        error = "cannot write " + target + ": " + std::strerror(errno);
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

bool endsWith(const std::string &text, const std::string &end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Copies this very helper and a polkit action to where the first-run installation puts them.
int install(const std::string &helperTarget, const std::string &policySource, const std::string &policyTarget)
{
    if (helperTarget.empty() || helperTarget[0] != '/' || !endsWith(helperTarget, std::string("/") + kName))
        return refuse("the helper can only be installed as an absolute path ending in " + std::string(kName));
    if (policyTarget.empty() || policyTarget[0] != '/' || !endsWith(policyTarget, ".policy") ||
        policyTarget.find("/polkit-1/actions/") == std::string::npos)
        return refuse("the action can only be installed as a .policy file in a polkit-1/actions folder");
    const std::optional<std::string> helperBytes = posix::RegularFile::read("/proc/self/exe", 64 << 20);
    const std::optional<std::string> policyBytes = posix::RegularFile::read(policySource, 64 << 10);
    if (!helperBytes || !policyBytes) {
        std::fprintf(stderr, "%s: cannot read what is to be installed\n", kName);
        return 1;
    }
    std::string error;
    if (!placeFile(helperTarget, helperBytes->data(), helperBytes->size(), 0755, error) ||
        !placeFile(policyTarget, policyBytes->data(), policyBytes->size(), 0644, error)) {
        std::fprintf(stderr, "%s: %s\n", kName, error.c_str());
        return 1;
    }
    return 0;
}

// The child between fork and exec: its own process group, the stop signal tied to the helper's life, and
// the go-ahead once the helper has announced it. It starts with every signal held back.
[[noreturn]] void becomeProgram(pid_t helper, int goAhead, char **argv, int input)
{
    ::setpgid(0, 0);
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    char byte;
    while (::read(goAhead, &byte, 1) < 0 && errno == EINTR) {
    }
    ::close(goAhead);
    // The helper may have died before the signal was tied to it: then nobody would ever stop the program.
    if (::getppid() != helper)
        ::_exit(125);
    // The helper's own handling, and the terminal's signals its starter left ignored, are not the program's.
    for (int signal : {SIGTERM, SIGINT, SIGHUP, SIGQUIT, SIGTSTP, SIGPIPE})
        ::signal(signal, SIG_DFL);
    // A stop the helper sent meanwhile takes effect now, before the program runs, instead of having been
    // taken by the helper's handler in this copy of it.
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    // The helper's own input carries its requests; the program reads what it is given, else nothing.
    ::close(STDIN_FILENO);
    if (input >= 0)
        ::dup2(input, STDIN_FILENO);
    else
        ::open("/dev/null", O_RDONLY);
    // The program keeps the argument vector as given, its own path included as argv[0], so it is started by
    // its path; the last component is checked once more right before. (Whoever can change what lies there
    // owns the bundle, and so its tool, anyway: the rule keeps the helper from running other programs.)
    struct stat info
    {};
    if (::lstat(argv[0], &info) != 0 || !S_ISREG(info.st_mode)) {
        std::fprintf(stderr, "%s: refusing to run %s: it is no longer a regular file\n", kName, argv[0]);
        ::_exit(126);
    }
    ::execv(argv[0], argv);
    std::fprintf(stderr, "%s: cannot run %s: %s\n", kName, argv[0], std::strerror(errno));
    ::_exit(127);
}

// A second guard for a helper that dies without a word: this process outlives it by a pipe's end and then
// stops what is left of the program's group — the program hears of its parent's death itself, but what it
// started does not. It joins that group, so whoever waits for the group to end waits for it too, and it ends
// with the group's last SIGKILL. A helper that ends normally says so first, and the guard leaves at once.
pid_t startGuard(pid_t group, int goAhead, int &lifeline)
{
    int fds[2] = {-1, -1};
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return -1;
    const pid_t guard = ::fork();
    if (guard != 0) {
        ::close(fds[0]);
        lifeline = fds[1];
        return guard;
    }
    ::setpgid(0, group);
    // Nothing of the helper's is held open here: the application waits for the end of the output stream.
    const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO})
        ::dup2(null, fd);
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        ::signal(signal, SIG_IGN);
    ::close(fds[1]);
    // The program starts once every holder of its go-ahead has let go.
    ::close(goAhead);
    char said = 0;
    ssize_t n;
    while ((n = ::read(fds[0], &said, 1)) < 0 && errno == EINTR) {
    }
    if (n == 1)
        ::_exit(0);
    ::kill(-group, SIGTERM);
    const long long killAt = nowMs() + kGraceMs;
    while (posix::ProcessGroup::isAlive(group, ::getpid()) && nowMs() < killAt)
        ::usleep(50 * 1000);
    ::kill(-group, SIGKILL);
    ::_exit(0);
}

// Runs the program as the helper's child, in a group of its own, until it has ended, and returns its status.
// `input` becomes its standard input (none: /dev/null); `announce` tells the application the group and the
// right first.
int runProgram(char **argv, int input, bool announce)
{
    int goAhead[2] = {-1, -1};
    if (::pipe2(goAhead, O_CLOEXEC) != 0) {
        std::perror("bootdrive-privileged-exec: pipe");
        return 2;
    }
    std::fflush(stdout);
    const pid_t helper = ::getpid();
    sigset_t all, previous;
    sigfillset(&all);
    ::sigprocmask(SIG_SETMASK, &all, &previous);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(goAhead[1]);
        becomeProgram(helper, goAhead[0], argv, input);
    }
    ::sigprocmask(SIG_SETMASK, &previous, nullptr);
    if (child < 0) {
        std::perror("bootdrive-privileged-exec: fork");
        ::close(goAhead[0]);
        ::close(goAhead[1]);
        return 2;
    }
    ::close(goAhead[0]);
    ::setpgid(child, child);
    int lifeline = -1;
    const pid_t guard = startGuard(child, goAhead[1], lifeline);
    if (announce) {
        std::printf("group %d\nauthorized\n", static_cast<int>(child));
        std::fflush(stdout);
    }
    ::close(goAhead[1]);
    const int status = supervise(child);
    // The guard went with the program's group if it saw the end first; telling a gone guard is no error.
    ::signal(SIGPIPE, SIG_IGN);
    if (guard > 0) {
        const char done = 1;
        (void)!::write(lifeline, &done, 1);
        ::close(lifeline);
        while (::waitpid(guard, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    // What the program started may take a moment to die of the group's SIGKILL; whoever hears of the end
    // next may rely on nothing of it writing any more.
    const long long giveUpAt = nowMs() + 3 * kGraceMs;
    while (posix::ProcessGroup::isAlive(child) && nowMs() < giveUpAt)
        ::usleep(20 * 1000);
    return status;
}

// Adds what standard input has to `buffer`, up to `limit` bytes in all; false at its end or on a stop.
bool readMore(std::string &buffer, size_t limit)
{
    for (;;) {
        pollfd fds[2] = {{wakePipe[0], POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (fds[0].revents & POLLIN) {
            stopAsked = true;
            return false;
        }
        char chunk[65536];
        const size_t room = limit > buffer.size() ? limit - buffer.size() : 0;
        const ssize_t n = ::read(STDIN_FILENO, chunk, room < sizeof chunk ? room : sizeof chunk);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            return false;
        buffer.append(chunk, static_cast<size_t>(n));
        return true;
    }
}

// "12345" as a number of at most `max`; nothing for anything else, a sign or blank included.
std::optional<unsigned long> decimal(const std::string &text, unsigned long max)
{
    if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const unsigned long value = std::strtoul(text.c_str(), nullptr, 10);
    return value <= max ? std::optional<unsigned long>(value) : std::nullopt;
}

struct RecordCommand
{
    size_t length = 0;
    std::string device; // "major:minor"
    std::string volume;
};

// "record <length> <major>:<minor> <volume>": the volume is the rest of the line, blanks and all.
std::optional<RecordCommand> parseRecord(const std::string &line)
{
    if (line.compare(0, 7, "record ") != 0)
        return std::nullopt;
    const size_t lengthEnd = line.find(' ', 7);
    const size_t deviceEnd = lengthEnd == std::string::npos ? lengthEnd : line.find(' ', lengthEnd + 1);
    if (deviceEnd == std::string::npos)
        return std::nullopt;
    RecordCommand command;
    const auto length = decimal(line.substr(7, lengthEnd - 7), platform::DriveRecord::MaxBytes);
    command.device = line.substr(lengthEnd + 1, deviceEnd - lengthEnd - 1);
    command.volume = line.substr(deviceEnd + 1);
    const size_t colon = command.device.find(':');
    if (!length || *length == 0 || colon == std::string::npos ||
        !decimal(command.device.substr(0, colon), 0xfffff) ||
        !decimal(command.device.substr(colon + 1), 0xfffff))
        return std::nullopt;
    if (command.volume.empty() || command.volume[0] != '/' || command.volume.find('\0') != std::string::npos)
        return std::nullopt;
    command.length = *length;
    return command;
}

// Runs our record tool with the record's bytes as its input, from a file in memory: the tool reads it at its
// own pace while the helper watches for a stop.
int writeRecord(const RecordCommand &command, const std::string &bytes)
{
    const std::string folder = ownFolder();
    const std::string tool = folder + "/" + kRecordTool;
    if (const std::string why = posix::PrivilegedProgram::whyRefused(tool, folder); !why.empty())
        return refuse("refusing to run " + tool + ": " + why);
    const posix::FileDescriptor input(::memfd_create(kRecordTool, MFD_CLOEXEC));
    if (!input || !posix::FileDescriptor::writeAll(input.get(), bytes.data(), bytes.size()) ||
        ::lseek(input.get(), 0, SEEK_SET) != 0) {
        std::fprintf(stderr, "%s: cannot hold the record: %s\n", kName, std::strerror(errno));
        return 1;
    }
    std::string volume = command.volume, device = command.device;
    std::string path = tool, volumeOption = "--volume", deviceOption = "--device";
    char *argv[] = {path.data(),         volumeOption.data(), volume.data(),
                    deviceOption.data(), device.data(),       nullptr};
    return runProgram(argv, input.get(), false);
}

// After the program of a --stay run: one command, or the end. `status` is the program's.
int serveAfterProgram(int status)
{
    std::printf("\n%s: ended %d\n", kName, status);
    std::fflush(stdout);
    if (stopAsked || !inputIsPipe())
        return status;
    std::string input;
    size_t lineEnd;
    while ((lineEnd = input.find('\n')) == std::string::npos) {
        if (input.size() > kMaxCommand)
            return refuse("the command after the program is too long");
        if (!readMore(input, kMaxCommand + 1))
            return status;
    }
    const std::string line = input.substr(0, lineEnd);
    input.erase(0, lineEnd + 1);
    if (line == "done" || line == "cancel")
        return status;
    const std::optional<RecordCommand> command = parseRecord(line);
    if (!command)
        return refuse("unexpected command after the program (expected \"record <length> <major>:<minor> "
                      "<volume>\" or \"done\")");
    while (input.size() < command->length && readMore(input, command->length)) {
    }
    if (stopAsked || input.size() < command->length) {
        std::fprintf(stderr, "%s: the record was not written: its input ended early\n", kName);
        return 1;
    }
    if (input.size() > command->length)
        return refuse("more input than the record's length");
    return writeRecord(*command, input);
}

} // namespace

int main(int argc, char **argv)
{
    // Out of the terminal's foreground group, into one of its own, before any signal is taken.
    ::setpgid(0, 0);
    if (argc == 2 && std::strcmp(argv[1], "--check") == 0) {
        std::fputs("authorized\n", stdout);
        return 0;
    }
    if (argc >= 2 && std::strcmp(argv[1], "--install") == 0) {
        if (argc != 5)
            return refuse("--install takes HELPER_TARGET POLICY_SOURCE POLICY_TARGET");
        return install(argv[2], argv[3], argv[4]);
    }
    const char *cwd = nullptr;
    bool stay = false;
    int i = 1;
    for (; i < argc; ++i) {
        if (std::strcmp(argv[i], "--cwd") == 0 && i + 1 < argc) {
            cwd = argv[++i];
        } else if (std::strcmp(argv[i], "--stay") == 0) {
            stay = true;
        } else if (std::strcmp(argv[i], "--") == 0) {
            ++i;
            break;
        } else {
            return refuse(std::string("unexpected argument ") + argv[i]);
        }
    }
    if (i >= argc)
        return refuse("no program given");
    if (const std::string why = posix::PrivilegedProgram::whyRefused(argv[i], ownFolder()); !why.empty())
        return refuse(std::string("refusing to run ") + argv[i] + ": " + why);
    if (cwd && ::chdir(cwd) != 0)
        return refuse(std::string("cannot enter ") + cwd + ": " + std::strerror(errno));
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

    const int status = runProgram(argv + i, -1, true);
    return stay ? serveAfterProgram(status) : status;
}
