#include "Platform/Process/ChildProcess.h"

#include "Platform/Process/Spawn.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace platform {

std::shared_ptr<ChildProcess> ChildProcess::create()
{
    std::shared_ptr<ChildProcess> process(new ChildProcess);
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) == 0) {
        process->m_output = std::make_shared<FileHandle>(fds[0]);
        process->m_writeFd.reset(fds[1]);
    }
    return process;
}

ChildProcess::~ChildProcess() = default;

bool ChildProcess::launch(QString *errorText)
{
    if (m_pid >= 0) {
        if (errorText)
            *errorText = QStringLiteral("task already launched");
        return false;
    }
    if (!m_writeFd) {
        if (errorText)
            *errorText = QStringLiteral("no output pipe");
        return false;
    }
    Spawn::Options options;
    options.workingDirectory = m_currentDirectory;
    options.outputWriteFd = m_writeFd.release(); // start closes it in every case
    options.extraEnvironment = m_extraEnvironment;
    const Spawn::Result started = Spawn::start(m_launchPath, m_arguments.value_or(QStringList()), options);
    if (started.pid <= 0) {
        // As a shell reports a command it cannot run.
        m_status = 127;
        if (errorText)
            *errorText = QStringLiteral("launch path not accessible: %1 (%2)")
                             .arg(m_launchPath, QString::fromLocal8Bit(std::strerror(started.error)));
        // Those waiting for the end learn of it as of any other end.
        m_pid = 0;
        if (m_terminationHandler) {
            std::shared_ptr<ChildProcess> self = shared_from_this();
            std::thread([self] {
                TerminationHandler handler = std::move(self->m_terminationHandler);
                handler(*self);
            }).detach();
        }
        return false;
    }
    m_pid = started.pid;
    m_running = true;
    std::shared_ptr<ChildProcess> self = shared_from_this();
    std::thread([self] {
        int status = 0;
        pid_t waited;
        do {
            waited = ::waitpid(self->m_pid, &status, 0);
        } while (waited < 0 && errno == EINTR);
        if (waited == self->m_pid)
            self->m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        self->m_running = false;
        if (self->m_terminationHandler) {
            TerminationHandler handler = std::move(self->m_terminationHandler);
            handler(*self);
        }
    }).detach();
    return true;
}

} // namespace platform
