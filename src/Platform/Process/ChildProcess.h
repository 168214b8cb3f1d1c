#pragma once

#include "Platform/Posix/FileDescriptor.h"
#include "Platform/Process/FileHandle.h"

#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <sys/types.h>

namespace platform {

// A child process whose standard output and standard error arrive joined on one readable handle. The end of
// the process is seen by a waiter thread, which runs the termination handler there.
class ChildProcess : public std::enable_shared_from_this<ChildProcess>
{
public:
    using TerminationHandler = std::function<void(ChildProcess &)>;

    // Makes the output pipe at once, so its reading end can be watched before the launch.
    static std::shared_ptr<ChildProcess> create();
    ~ChildProcess();

    void setLaunchPath(const QString &path) { m_launchPath = path; }
    const QString &launchPath() const { return m_launchPath; }
    void setArguments(const QStringList &arguments) { m_arguments = arguments; }
    const std::optional<QStringList> &arguments() const { return m_arguments; }
    void setCurrentDirectoryPath(const QString &path) { m_currentDirectory = path; }
    // "NAME=value" entries added to the inherited environment.
    void setExtraEnvironment(const QStringList &entries) { m_extraEnvironment = entries; }
    // Runs on a waiter thread once the process has ended (or could not start); the process object is kept
    // alive until then.
    void setTerminationHandler(TerminationHandler handler) { m_terminationHandler = std::move(handler); }

    // Starts the program; false (with the reason) when it cannot be started. Launch once.
    bool launch(QString *errorText = nullptr);

    // The reading end of the joined output, present from creation on (as a pipe is before a launch).
    const std::shared_ptr<FileHandle> &outputHandle() const { return m_output; }
    pid_t processIdentifier() const { return m_pid; }
    bool isRunning() const { return m_running.load(); }
    // Exit status, 128 + signal number for a program that was killed, 127 for one that could not start.
    int terminationStatus() const { return m_status.load(); }

private:
    ChildProcess() = default;

    posix::FileDescriptor m_writeFd;

    QString m_launchPath;
    std::optional<QStringList> m_arguments;
    QString m_currentDirectory;
    QStringList m_extraEnvironment;
    TerminationHandler m_terminationHandler;
    std::shared_ptr<FileHandle> m_output;
    pid_t m_pid = -1;
    std::atomic<bool> m_running{false};
    std::atomic<int> m_status{0};
};

} // namespace platform
