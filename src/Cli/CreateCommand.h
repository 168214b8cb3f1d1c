#pragma once

#include "Cli/CommandLine.h"
#include "Cli/ProgressOutput.h"
#include "Creation/CreationPreflight.h"
#include "Creation/DiskutilViewModel.h"

#include <QString>
#include <QTimer>
#include <memory>

namespace platform {
class StopSignals;
}

// "bootdrive create": the window's job without the window. The same checks refuse an installer or a drive
// before anything is erased (the supported names, where the installer lies, the drive being listed, the
// checks before the erase), the user confirms by typing the volume's name unless --yes was given, and the
// run erases, creates, verifies and can be cancelled exactly as in the window. The exit status tells the
// outcome (CommandLine::Status).
class CreateCommand
{
public:
    CreateCommand(const CommandLine &line, ProgressOutput &output, platform::StopSignals &stopSignals);

    // Checks and confirms at once, then runs in the event loop, which it ends with the exit status; a run
    // refused or cancelled before the loop has started has ended when this returns.
    void start();
    bool hasEnded() const { return m_ended; }
    int status() const { return m_status; }
    // A stop signal: cancels the run in whatever state it is; a second one only repeats that it stops.
    void stop(int signal);

    // What the user is told for a refusal of the checks before the erase, and for a failed run.
    static QString refusalText(const CreationPreflight::Result &result, const DiskModel &drive);
    static QString failureText(const DiskutilViewModel::Failure &failure);

private:
    // The installer's problem in words; empty when it may be used.
    QString installerProblem() const;
    // Why the volume argument names no listed drive.
    QString volumeProblem() const;
    bool confirmed();
    void stateChanged(DiskutilViewModel &job, DiskutilState state);
    void progressed(DiskutilViewModel &job, double progress);
    void completed(DiskutilViewModel &job, const DiskutilResult &result);
    void end(CommandLine::Status status, const QString &outcome, const QString &message);

    CommandLine m_line;
    ProgressOutput &m_output;
    platform::StopSignals &m_signals;
    std::unique_ptr<DiskutilViewModel> m_job;
    MacOSModelPtr m_installer;
    DiskModelPtr m_drive;
    QString m_driveName;
    QTimer m_ticker;
    bool m_stopRequested = false;
    bool m_erased = false; // the erase has begun: the drive's old contents are gone
    bool m_ended = false;
    int m_status = CommandLine::Failed;
};
