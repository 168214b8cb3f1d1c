#include "disklib/Command.h"

#include "Platform/Posix/Pipe.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <initializer_list>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace disktools {

namespace {

CommandResult spawn(const std::vector<std::string> &arguments, bool capture)
{
    CommandResult result;
    if (arguments.empty()) {
        result.error = "no program given";
        return result;
    }
    const std::string program = Command::find(arguments[0]);
    if (program.empty()) {
        result.error = arguments[0] + " was not found";
        return result;
    }
    std::vector<char *> argv;
    for (const auto &argument : arguments)
        argv.push_back(const_cast<char *>(argument.c_str()));
    argv.push_back(nullptr);

    // The output, and a failed exec, which the child reports through its pipe; a successful one closes it
    // unseen.
    posix::Pipe output, failure;
    if ((capture && !output.open()) || !failure.open()) {
        result.error = std::strerror(errno);
        return result;
    }
    // The child starts with no blocked signals and default dispositions, whatever the tool holds back, but
    // for the terminal's signals that the tool itself was started with ignored. A
    // captured program (a formatter) runs in a process group of its own: a stop request sent to the tool's
    // group must not cut it short; the tool holds such requests back until it is done. Every child stops
    // when the tool goes away, so nothing the tool started runs on without it.
    sigset_t none;
    sigemptyset(&none);
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        if (capture) {
            setpgid(0, 0);
            const int input = open("/dev/null", O_RDONLY | O_CLOEXEC);
            dup2(input, 0);
            dup2(output.write.get(), 1);
            dup2(output.write.get(), 2);
        }
        struct sigaction defaults
        {};
        defaults.sa_handler = SIG_DFL;
        sigemptyset(&defaults.sa_mask);
        for (int signal : {SIGPIPE, SIGTERM})
            sigaction(signal, &defaults, nullptr);
        // A terminal's signals the tool was started with ignored (BootDrive stops its runs itself) stay
        // ignored for what it runs, pkexec included; otherwise they are the default again.
        for (int signal : {SIGINT, SIGHUP, SIGQUIT}) {
            struct sigaction current
            {};
            if (sigaction(signal, nullptr, &current) == 0 && current.sa_handler != SIG_IGN)
                sigaction(signal, &defaults, nullptr);
        }
        sigprocmask(SIG_SETMASK, &none, nullptr);
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        // Gone already, before the signal was tied to it: nobody would stop this program.
        if (getppid() != parent)
            _exit(125);
        execve(program.c_str(), argv.data(), environ);
        const int code = errno;
        (void)!write(failure.write.get(), &code, sizeof code);
        _exit(127);
    }
    int spawnError = pid < 0 ? errno : 0;
    failure.write.reset();
    output.write.reset();
    if (pid > 0) {
        int code = 0;
        ssize_t n;
        while ((n = read(failure.read.get(), &code, sizeof code)) < 0 && errno == EINTR) {
        }
        if (n == sizeof code) {
            spawnError = code;
            while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
            }
        }
    }
    if (spawnError != 0) {
        result.error = program + ": " + std::strerror(spawnError);
        return result;
    }
    result.started = true;
    char buffer[4096];
    for (ssize_t n;
         capture && ((n = read(output.read.get(), buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR));)
        if (n > 0)
            result.output.append(buffer, static_cast<size_t>(n));
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status))
        result.exitStatus = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        result.signal = WTERMSIG(status);
    return result;
}

bool executable(const std::string &path)
{
    return access(path.c_str(), X_OK) == 0;
}

} // namespace

std::string Command::find(const std::string &name, bool withSystemFolders)
{
    if (name.empty())
        return {};
    if (name.find('/') != std::string::npos)
        return executable(name) ? name : std::string();
    const char *path = std::getenv("PATH");
    std::string folders = path ? path : "";
    if (withSystemFolders)
        folders += ":/usr/local/sbin:/usr/sbin:/sbin";
    size_t start = 0;
    while (start <= folders.size()) {
        size_t end = folders.find(':', start);
        if (end == std::string::npos)
            end = folders.size();
        const std::string folder = folders.substr(start, end - start);
        start = end + 1;
        if (folder.empty())
            continue;
        const std::string candidate = folder + "/" + name;
        if (executable(candidate))
            return candidate;
    }
    return {};
}

CommandResult Command::run(const std::vector<std::string> &arguments)
{
    return spawn(arguments, true);
}

CommandResult Command::runInheritingOutput(const std::vector<std::string> &arguments)
{
    return spawn(arguments, false);
}

std::string Command::describeEnd(const CommandResult &result)
{
    if (!result.started)
        return result.error;
    if (result.signal != 0)
        return std::string("killed by signal ") + strsignal(result.signal);
    return "exit status " + std::to_string(result.exitStatus);
}

} // namespace disktools
