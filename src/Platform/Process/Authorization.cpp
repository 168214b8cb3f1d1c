#include "Platform/Process/Authorization.h"

#include "Platform/Posix/FileDescriptor.h"
#include "Platform/Posix/ProcessGroup.h"
#include "Platform/Process/Spawn.h"
#include "Platform/Runtime/InstallLayout.h"
#include "Platform/Runtime/Log.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QStandardPaths>
#include <cerrno>
#include <sys/wait.h>
#include <unistd.h>

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
            Log::write(QString::fromLocal8Bit(line));
        line.clear();
    }
    if (!line.isEmpty())
        Log::write(QString::fromLocal8Bit(line));
    return false;
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
                                             const QString &workingDirectory, const StartedHandler &started)
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
    helperArguments << QStringLiteral("--") << program << arguments;
    if (!root)
        helperArguments.prepend(helper);
    Spawn::Options options;
    options.inputPipe = true;
    const Spawn::Result spawned = Spawn::start(root ? helper : pkexec, helperArguments, options);
    if (spawned.pid <= 0) {
        launch.status = ToolExecuteFailure;
        return launch;
    }
    posix::FileDescriptor output(spawned.outputFd), input(spawned.inputFd);
    if (started)
        started(spawned.pid);
    if (!readUntilMarker(output.get(), &launch.programGroup)) {
        output.reset();
        input.reset();
        launch.status = root ? ToolExecuteFailure : statusForPkexecExit(waitFor(spawned.pid));
        if (root)
            waitFor(spawned.pid);
        return launch;
    }
    // pkexec has become the helper, which runs the program: the pid is the helper's.
    launch.status = Success;
    launch.pid = spawned.pid;
    launch.outputFd = output.release();
    launch.inputFd = input.release();
    return launch;
}

int32_t Authorization::obtainAdministratorRight()
{
    if (::geteuid() == 0)
        return Success;
    const QString pkexec = pkexecPath();
    if (pkexec.isEmpty())
        return NoPrivilegedExecution;
    const Spawn::Result started = Spawn::start(pkexec, {helperPath(), QStringLiteral("--check")});
    if (started.pid <= 0)
        return ToolExecuteFailure;
    posix::FileDescriptor output(started.outputFd);
    const bool granted = readUntilMarker(output.get());
    output.reset();
    const int status = waitFor(started.pid);
    if (granted)
        return Success;
    return statusForPkexecExit(status);
}

} // namespace platform
