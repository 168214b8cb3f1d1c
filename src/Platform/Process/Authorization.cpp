#include "Platform/Process/Authorization.h"

#include "Platform/Posix/ChildProcess.h"
#include "Platform/Posix/FileDescriptor.h"
#include "Platform/Posix/Pipe.h"
#include "Platform/Posix/ProcessGroup.h"
#include "Platform/Runtime/InstallLayout.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace platform {

namespace {

QString pkexecPath()
{
    return QStandardPaths::findExecutable(QStringLiteral("pkexec"));
}

int32_t statusForPkexecExit(int waitStatus)
{
    if (!WIFEXITED(waitStatus))
        return Authorization::InternalError;
    switch (WEXITSTATUS(waitStatus)) {
    case 126: // the user dismissed the authentication dialog
        return Authorization::Canceled;
    case 127: // not authorized, or authentication failed
        return Authorization::Denied;
    default:
        return Authorization::ToolExecuteFailure;
    }
}

// Reads the helper's lines until its marker (true) or the end of the stream (false). Byte by byte, so
// nothing of the program's own output is consumed. The helper names the program's process group in a line
// before the marker; anything else it says before it (a refusal) goes to the log.
bool readUntilMarker(int fd, pid_t *programGroup = nullptr)
{
    QByteArray line;
    char c;
    for (qsizetype total = 0; total < 65536; ++total) {
        const ssize_t n = ::read(fd, &c, 1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        if (c != '\n') {
            line.append(c);
            continue;
        }
        if (line == Authorization::authorizedMarker())
            return true;
        bool number = false;
        const int group = line.startsWith("group ") ? line.mid(6).toInt(&number) : 0;
        if (number && group > 0 && programGroup)
            *programGroup = group;
        else if (!line.isEmpty())
            qInfo().noquote() << (QString::fromLocal8Bit(line));
        line.clear();
    }
    if (!line.isEmpty())
        qInfo().noquote() << (QString::fromLocal8Bit(line));
    return false;
}

struct Started
{
    pid_t pid = -1;
    posix::FileDescriptor output; // joined standard output and error
    posix::FileDescriptor input;  // the child's standard input
};

// Starts pkexec or the helper with both output streams on one pipe and its input from another, out of the
// terminal's reach (posix::ChildProcess): pkexec may still ask for the password on the terminal.
Started start(const QString &program, const QStringList &arguments)
{
    Started started;
    posix::Pipe output, input;
    if (!output.open() || !input.open())
        return started;
    std::vector<QByteArray> storage{QFile::encodeName(program)};
    for (const QString &argument : arguments)
        storage.push_back(QFile::encodeName(argument));
    std::vector<char *> argv;
    for (QByteArray &item : storage)
        argv.push_back(item.data());
    argv.push_back(nullptr);
    started.pid = posix::ChildProcess::spawn(argv[0], argv.data(), environ, input.read.get(),
                                             output.write.get(), output.write.get());
    if (started.pid <= 0)
        return started;
    started.output = std::move(output.read);
    started.input = std::move(input.write);
    return started;
}

int waitFor(pid_t pid)
{
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

} // namespace

bool Authorization::waitForProgramGroup(pid_t group, int timeoutMs)
{
    if (group <= 0)
        return true;
    QElapsedTimer clock;
    clock.start();
    while (posix::ProcessGroup::isAlive(group)) {
        if (clock.elapsed() >= timeoutMs)
            return false;
        ::usleep(50 * 1000);
    }
    return true;
}

QString Authorization::helperPath()
{
    const QString configured = qEnvironmentVariable("BOOTDRIVE_PRIVILEGED_EXEC");
    if (!configured.isEmpty())
        return configured;
    const QString own = InstallLayout::current().helperPath();
    if (QFileInfo(own).isExecutable())
        return own;
    // Where the first-run installation puts a copy.
    return QStringLiteral("/usr/local/libexec/bootdrive/") + InstallLayout::helperName();
}

bool Authorization::isAvailable()
{
    return ::geteuid() == 0 || !pkexecPath().isEmpty();
}

Authorization::Launch Authorization::execute(const QString &program, const QStringList &arguments,
                                             const QString &workingDirectory, const StartedHandler &started,
                                             bool stays)
{
    Launch launch;
    const bool root = ::geteuid() == 0;
    const QString pkexec = root ? QString() : pkexecPath();
    if (!root && pkexec.isEmpty()) {
        launch.status = NoPrivilegedExecution;
        return launch;
    }
    const QString helper = helperPath();
    QStringList helperArguments;
    if (!workingDirectory.isEmpty())
        helperArguments << QStringLiteral("--cwd") << workingDirectory;
    if (stays)
        helperArguments << QStringLiteral("--stay");
    helperArguments << QStringLiteral("--") << program << arguments;
    if (!root)
        helperArguments.prepend(helper);
    Started spawned = start(root ? helper : pkexec, helperArguments);
    if (spawned.pid <= 0) {
        launch.status = ToolExecuteFailure;
        return launch;
    }
    if (started)
        started(spawned.pid);
    if (!readUntilMarker(spawned.output.get(), &launch.programGroup)) {
        spawned.output.reset();
        spawned.input.reset();
        launch.status = root ? ToolExecuteFailure : statusForPkexecExit(waitFor(spawned.pid));
        if (root)
            waitFor(spawned.pid);
        return launch;
    }
    // pkexec has become the helper, which runs the program: the pid is the helper's.
    launch.status = Success;
    launch.pid = spawned.pid;
    launch.outputFd = spawned.output.release();
    launch.inputFd = spawned.input.release();
    return launch;
}

QByteArray Authorization::recordCommand(const QByteArray &volume, dev_t device, const QByteArray &record)
{
    if (volume.isEmpty() || volume.contains('\n') || volume.contains('\0') || record.isEmpty())
        return {};
    return "record " + QByteArray::number(record.size()) + ' ' + QByteArray::number(major(device)) + ':' +
           QByteArray::number(minor(device)) + ' ' + volume + '\n' + record;
}

bool Authorization::sendToHelper(int fd, const QByteArray &bytes, const std::atomic<bool> &stop)
{
    // SIGPIPE is held back in this thread alone, and one the write raised is taken before it is let through.
    sigset_t brokenPipe, previous;
    sigemptyset(&brokenPipe);
    sigaddset(&brokenPipe, SIGPIPE);
    ::pthread_sigmask(SIG_BLOCK, &brokenPipe, &previous);
    const int flags = ::fcntl(fd, F_GETFL);
    ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    qsizetype done = 0;
    bool broken = false;
    // A short wait at a time, so a stop is seen while the helper reads nothing.
    while (done < bytes.size() && !stop.load()) {
        pollfd out{fd, POLLOUT, 0};
        if (::poll(&out, 1, 100) <= 0)
            continue;
        const ssize_t n = ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n > 0) {
            done += n;
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            broken = errno == EPIPE;
            break;
        }
    }
    ::fcntl(fd, F_SETFL, flags);
    if (broken) {
        const timespec none{};
        ::sigtimedwait(&brokenPipe, nullptr, &none);
    }
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return done == bytes.size();
}

int32_t Authorization::obtainAdministratorRight()
{
    if (::geteuid() == 0)
        return Success;
    const QString pkexec = pkexecPath();
    if (pkexec.isEmpty())
        return NoPrivilegedExecution;
    Started started = start(pkexec, {helperPath(), QStringLiteral("--check")});
    if (started.pid <= 0)
        return ToolExecuteFailure;
    const bool granted = readUntilMarker(started.output.get());
    started.output.reset();
    started.input.reset();
    const int status = waitFor(started.pid);
    if (granted)
        return Success;
    return statusForPkexecExit(status);
}

} // namespace platform
