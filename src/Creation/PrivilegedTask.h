#pragma once

#include "Platform/Posix/FileDescriptor.h"

#include <QFile>
#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <sys/types.h>

class QTimer;

// Runs one program as root after the user has granted administrator rights, with the calling surface of an
// ordinary process object. The end is seen either by a 0.1 s status check on the main thread, which emits
// didTerminate ("PrivilegedTaskDidTerminateNotification"), or by the blocking waitUntilExit. Holders share
// it; once the last lets go it is deleted on the GUI thread, and a task whose status is still being checked
// lives on until its end has been seen.
class PrivilegedTask : public QObject
{
    Q_OBJECT

public:
    static std::shared_ptr<PrivilegedTask> init();
    static std::shared_ptr<PrivilegedTask> initWithLaunchPath(const QString &launchPath);
    static std::shared_ptr<PrivilegedTask> initWithLaunchPath(const QString &launchPath,
                                                              const QStringList &arguments);
    // Launch, then wait for the end.
    static std::shared_ptr<PrivilegedTask> launchedPrivilegedTaskWithLaunchPath(const QString &launchPath);
    static std::shared_ptr<PrivilegedTask> launchedPrivilegedTaskWithLaunchPath(const QString &launchPath,
                                                                                const QStringList &arguments);
    ~PrivilegedTask() override;

    // Authorizes and starts the program: 0 on success, -70001 when privileged execution is not available,
    // the authorization's status otherwise (-60006 cancelled, -60005 denied, …). Launched on the main thread,
    // the task checks its status every 0.1 s until the end; launched elsewhere it learns of the end through
    // waitUntilExit, as there is no run loop to check on.
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

    // Whether the helper outlives the program for one more request (set before launch()): the program's
    // end is then told in its output (programHasEnded), and the helper ends only after handOver() has been
    // served, or once finish() or cancel() lets it go.
    void setStaysAfterProgram(bool stays) { m_stays = stays; }
    // The program's part of a piece of the output (an empty piece: the output has ended). Once the helper
    // has told the program's end, what follows is the helper's own and goes to `afterEnd`.
    QByteArray programOutput(const QByteArray &chunk, QByteArray *afterEnd = nullptr);
    bool programHasEnded() const { return m_programEnded; }
    // The program's exit status as the helper told it (128 + the signal for a program that was killed).
    int programStatus() const { return m_programStatus; }
    // Hands a helper that stays its request after the program (Authorization::recordCommand) and keeps its
    // input open while it is served; false when it could not be handed over. Blocks while the helper does
    // not read: call it from a worker. A cancel meanwhile withdraws it.
    bool handOver(const QByteArray &request);
    // Lets a helper that stays go without a request: it ends with the program's status.
    void finish();
    // The status check.
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
    // The program's joined standard output and error, readable from the launch on.
    const std::shared_ptr<QFile> &outputFileHandle() const { return m_outputFileHandle; }
    QString description() const;

signals:
    void didTerminate();

private:
    PrivilegedTask();
    static std::shared_ptr<PrivilegedTask> held(PrivilegedTask *task);
    void collect(int options);
    void stopChecking();

    QStringList m_arguments;
    QString m_cwd;
    QString m_launchPath;
    std::atomic<bool> m_isRunning{false};
    std::atomic<bool> m_ended{false};
    std::atomic<int32_t> m_pid{0};
    std::atomic<int32_t> m_terminationStatus{0};
    pid_t m_programGroup = 0;
    std::atomic<bool> m_programLeftRunning{false};
    std::shared_ptr<QFile> m_outputFileHandle;
    QTimer *m_checkStatusTimer = nullptr;
    // Let go of by every holder while its status was still being checked: it goes once its end is seen.
    bool m_released = false;
    // The helper's input (its end stops the program), and who to signal while the launch waits.
    std::mutex m_stopMutex;
    posix::FileDescriptor m_inputFd;
    pid_t m_startingPid = 0;
    std::atomic<bool> m_cancelRequested{false};
    bool m_stays = false;
    // Output held back while it may be the start of the helper's line on the program's end.
    QByteArray m_heldOutput;
    bool m_programEnded = false;
    int m_programStatus = -1;
};

using PrivilegedTaskPtr = std::shared_ptr<PrivilegedTask>;
