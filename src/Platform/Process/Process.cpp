#include "Platform/Process/Process.h"

#include "Platform/Posix/Pipe.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace platform {

QByteArray Process::runReadingStandardOutput(const QString &program, const QStringList &arguments,
                                             int *exitStatus)
{
    if (exitStatus)
        *exitStatus = -1;
    posix::Pipe pipe;
    if (!pipe.open())
        return {};
    std::vector<QByteArray> storage;
    storage.push_back(QFile::encodeName(program));
    for (const QString &argument : arguments)
        storage.push_back(argument.toUtf8());
    std::vector<char *> argv;
    for (auto &item : storage)
        argv.push_back(item.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe.write.get(), STDOUT_FILENO);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    // Only the child may hold the writing end, or the reading below never sees the end.
    pipe.write.reset();
    if (rc != 0)
        return {};
    QByteArray output;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(pipe.read.get(), buffer, sizeof buffer);
        if (n > 0)
            output.append(buffer, n);
        else if (n == 0 || errno != EINTR)
            break;
    }
    pipe.read.reset();
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (exitStatus)
        *exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return output;
}

} // namespace platform
