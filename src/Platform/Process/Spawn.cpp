#include "Platform/Process/Spawn.h"

#include "Platform/Posix/Pipe.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace platform {

Spawn::Result Spawn::start(const QString &program, const QStringList &arguments, const Options &options)
{
    const QString &workingDirectory = options.workingDirectory;
    const QString &argv0 = options.argv0;
    const QStringList &extraEnvironment = options.extraEnvironment;
    Result result;
    // The child's output goes to the caller's descriptor, or to a pipe of ours whose reading end is returned.
    posix::Pipe output;
    posix::FileDescriptor given(options.outputWriteFd);
    if (options.outputWriteFd < 0 && !output.open()) {
        result.error = errno;
        return result;
    }
    const int outputWrite = options.outputWriteFd >= 0 ? given.get() : output.write.get();
    posix::Pipe input;
    if (options.inputPipe && !input.open()) {
        result.error = errno;
        return result;
    }
    std::vector<QByteArray> storage;
    storage.push_back(QFile::encodeName(argv0.isEmpty() ? program : argv0));
    for (const QString &argument : arguments)
        storage.push_back(QFile::encodeName(argument));
    std::vector<char *> argv;
    for (auto &item : storage)
        argv.push_back(item.data());
    argv.push_back(nullptr);
    std::vector<QByteArray> environmentStorage;
    std::vector<char *> environment;
    if (!extraEnvironment.isEmpty()) {
        for (const QString &entry : extraEnvironment)
            environmentStorage.push_back(QFile::encodeName(entry));
        for (char **variable = environ; *variable; ++variable) {
            const QByteArray current(*variable);
            const QByteArray name = current.left(current.indexOf('=') + 1);
            const bool replaced =
                std::any_of(environmentStorage.begin(), environmentStorage.end(),
                            [&](const QByteArray &entry) { return entry.startsWith(name); });
            if (!replaced)
                environment.push_back(*variable);
        }
        for (auto &entry : environmentStorage)
            environment.push_back(entry.data());
        environment.push_back(nullptr);
    }
    const QByteArray path = QFile::encodeName(program);
    const QByteArray cwd = QFile::encodeName(workingDirectory);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (input.read)
        posix_spawn_file_actions_adddup2(&actions, input.read.get(), STDIN_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outputWrite, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, outputWrite, STDERR_FILENO);
    // The child gets its own working directory; the parent's never changes, so other threads are unaffected.
    if (!cwd.isEmpty())
        posix_spawn_file_actions_addchdir_np(&actions, cwd.constData());
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // Children start with default signal handling whatever the application did with its own.
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigdefault(&attributes, &all);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    pid_t pid = -1;
    const int rc = posix_spawn(&pid, path.constData(), &actions, &attributes, argv.data(),
                               environment.empty() ? environ : environment.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (rc != 0) {
        result.error = rc;
        return result;
    }
    result.pid = pid;
    result.outputFd = output.read.release();
    result.inputFd = input.write.release();
    return result;
}

} // namespace platform
