#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <functional>
#include <sys/types.h>

namespace platform {

// Runs a program as root after the user has granted administrator rights (the Authorization Services
// stand-in). The program is run by our privileged-exec helper, which reports "authorized" once it runs as
// root and stays the program's parent: a process that already runs as root starts the helper directly (no
// dialog), any other starts it through pkexec. execute() returns only after the user decided. An
// application that does not run as root cannot signal the program; the helper's input is how it asks for
// a stop.
class Authorization
{
public:
    // Status values, with the platform's meaning.
    static constexpr int32_t Success = 0;
    static constexpr int32_t Denied = -60005;
    static constexpr int32_t Canceled = -60006;
    static constexpr int32_t InternalError = -60008;
    static constexpr int32_t ToolExecuteFailure = -60031;
    static constexpr int32_t NoPrivilegedExecution = -70001;

    struct Launch
    {
        int32_t status = InternalError;
        pid_t pid = 0;     // the helper's, whose end and status are the program's
        int outputFd = -1; // joined standard output and error of the program; the caller owns it
        int inputFd =
            -1; // the helper's input: a "cancel" line or its end stops the program; the caller owns it
        pid_t programGroup = 0; // the program's process group, which outlives the helper only briefly
    };
    // Told the process id as soon as pkexec (before the user has decided) or the helper has started, on the
    // thread that runs execute(): a caller that wants to stop the wait sends it SIGTERM, which ends pkexec
    // and its dialog, and which the helper passes on to the program.
    using StartedHandler = std::function<void(pid_t pid)>;

    // The privileged-exec helper: BOOTDRIVE_PRIVILEGED_EXEC when set, else the one among the application's
    // tools (InstallLayout), else the copy the first-run installation made.
    static QString helperPath();
    // Whether privileged execution is possible at all in this process (root, or pkexec on PATH).
    static bool isAvailable();
    // `stays`: the helper outlives the program for one more request of ours (recordCommand), after telling
    // the program's end in the output (endedMarker). Without, it ends with the program.
    static Launch execute(const QString &program, const QStringList &arguments,
                          const QString &workingDirectory, const StartedHandler &started = {},
                          bool stays = false);
    // Waits until no process of the program's group runs any more (zombies count as ended), at most
    // `timeoutMs`; true when the group is gone. The program normally ends with its helper, but one whose
    // helper was killed ends only once it has heard of that.
    static bool waitForProgramGroup(pid_t group, int timeoutMs);
    // Asks only for the right, running nothing (used before installing the helper). Same status values.
    static int32_t obtainAdministratorRight();
    // The marker line the helper writes before it becomes the program.
    static const char *authorizedMarker() { return "authorized"; }
    // What begins the line, after a line break of its own, on which a helper that stays tells the program's
    // end; its exit status follows.
    static const char *endedMarker() { return "bootdrive-privileged-exec: ended "; }
    // The request to a helper that stays to write the drive's record with our record tool, as root: the
    // drive mounted at `volume` (directly below /Volumes) on `device`. Empty when the volume cannot be named
    // on the request's line.
    static QByteArray recordCommand(const QByteArray &volume, dev_t device, const QByteArray &record);
    // Writes all of `bytes` to the helper's input; false when the helper went away or `stop` was set first.
    // Blocks while the helper does not read, so it belongs on a worker; a gone helper raises no SIGPIPE.
    static bool sendToHelper(int fd, const QByteArray &bytes, const std::atomic<bool> &stop);
};

} // namespace platform
