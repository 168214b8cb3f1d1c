#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <sys/types.h>

namespace platform {

// Runs a program as root after the user has granted administrator rights (the Authorization Services
// stand-in). A process that already runs as root is granted the right without a dialog and starts the
// program directly. Otherwise the program is started through pkexec and our privileged-exec helper, which
// reports "authorized" once polkit has let it run and then becomes the program; execute() returns only after
// the user decided.
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
        pid_t pid = 0;
        int outputFd = -1; // joined standard output and error of the program; the caller owns it
    };

    // The privileged-exec helper: BOOTDRIVE_PRIVILEGED_EXEC when set, else beside the executable, else the
    // installed copy.
    static QString helperPath();
    // Whether privileged execution is possible at all in this process (root, or pkexec on PATH).
    static bool isAvailable();
    static Launch execute(const QString &program, const QStringList &arguments,
                          const QString &workingDirectory);
    // Asks only for the right, running nothing (used before installing the helper). Same status values.
    static int32_t obtainAdministratorRight();
    // The marker line the helper writes before it becomes the program.
    static const char *authorizedMarker() { return "authorized"; }
};

} // namespace platform
