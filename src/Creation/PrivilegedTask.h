#pragma once

#include "Platform/Posix/FileDescriptor.h"
#include "Platform/Process/FileHandle.h"
#include "Platform/Runtime/RepeatingTimer.h"

#include <QString>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <sys/types.h>

// Runs one program as root after the user has granted administrator rights, with the calling surface of an
// ordinary process object. The end is seen either by a 0.1 s status poll on the main run loop, which posts
// "PrivilegedTaskDidTerminateNotification", or by the blocking waitUntilExit.
class PrivilegedTask : public std::enable_shared_from_this<PrivilegedTask>
{
public:
    static const QString DidTerminateNotification;

    static std::shared_ptr<PrivilegedTask> init();
    static std::shared_ptr<PrivilegedTask> initWithLaunchPath(const QString &launchPath);
    static std::shared_ptr<PrivilegedTask> initWithLaunchPath(const QString &launchPath,
                                                              const QStringList &arguments);
    // Launch, then wait for the end.
    static std::shared_ptr<PrivilegedTask> launchedPrivilegedTaskWithLaunchPath(const QString &launchPath);
    static std::shared_ptr<PrivilegedTask> launchedPrivilegedTaskWithLaunchPath(const QString &launchPath,
                                                                                const QStringList &arguments);
    ~PrivilegedTask();

    // Authorizes and starts the program: 0 on success, -70001 when privileged execution is not available,
    // the authorization's status otherwise (-60006 cancelled, -60005 denied, …).
    int32_t launch();
    // Blocks until the program has ended; returns at once when nothing was launched. A program whose helper
    // was killed is given 15 s to hear of it and stop; programLeftRunning() tells whether it did not.
    void waitUntilExit();
    bool programLeftRunning() const { return m_programLeftRunning.load(); }
    // A started privileged program cannot be stopped through the task: this does nothing.
    void terminate() {}
    // Asks for the program to be stopped, from any thread: while the user is still being asked, the
    // question is withdrawn and launch() returns Canceled; once the program runs, the privileged helper
    // stops it (SIGTERM, then SIGKILL after 5 s) and waitUntilExit() returns.
    void cancel();
    bool isCancelled() const { return m_cancelRequested.load(); }
    // The poll step.
    void checkTaskStatus();

    const QStringList &arguments() const { return m_arguments; }
    void setArguments(const QStringList &arguments) { m_arguments = arguments; }
    const QString &currentDirectoryPath() const { return m_cwd; }
    void setCurrentDirectoryPath(const QString &path) { m_cwd = path; }
    const QString &launchPath() const { return m_launchPath; }
    void setLaunchPath(const QString &path) { m_launchPath = path; }
    bool isRunning() const { return m_isRunning.load(); }
    int32_t processIdentifier() const { return m_pid.load(); }
    // The raw status word of the wait, not decoded into an exit code.
    int32_t terminationStatus() const { return m_terminationStatus.load(); }
    // Whether the end has been seen and the status word says the program exited with 0.
    bool exitedSuccessfully() const;
    const std::shared_ptr<platform::FileHandle> &outputFileHandle() const { return m_outputFileHandle; }
    QString description() const;

private:
    PrivilegedTask();
    void collect(int options);

    QStringList m_arguments;
    QString m_cwd;
    QString m_launchPath;
    std::atomic<bool> m_isRunning{false};
    std::atomic<bool> m_ended{false};
    std::atomic<int32_t> m_pid{0};
    pid_t m_programGroup = 0;
    std::atomic<bool> m_programLeftRunning{false};
    std::atomic<int32_t> m_terminationStatus{0};
    std::shared_ptr<platform::FileHandle> m_outputFileHandle;
    std::shared_ptr<platform::RepeatingTimer> m_checkStatusTimer;
    // The helper's input (its end stops the program), and who to signal while the launch waits.
    std::mutex m_stopMutex;
    posix::FileDescriptor m_inputFd;
    pid_t m_startingPid = 0;
    std::atomic<bool> m_cancelRequested{false};
};

using PrivilegedTaskPtr = std::shared_ptr<PrivilegedTask>;
