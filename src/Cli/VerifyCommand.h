#pragma once

#include "Cli/CommandLine.h"
#include "Cli/ProgressOutput.h"
#include "Creation/DiskModel.h"
#include "Creation/DriveCheck.h"

#include <QJsonObject>
#include <QString>
#include <QTimer>

// "bootdrive verify": reads a finished drive back against the record it keeps of itself, or against the
// installer it was made from, and says whether it is intact, what changed, or why it cannot be checked. The
// drive is only read. The exit status tells the outcome: 0 intact, 1 damaged, 2 refused, 3 stopped.
class VerifyCommand
{
public:
    VerifyCommand(const CommandLine &line, ProgressOutput &output);

    // Finds the drive and starts the reading, which runs in the event loop and ends it with the exit status;
    // a check refused at once has ended when this returns.
    void start();
    bool hasEnded() const { return m_ended; }
    int status() const { return m_status; }
    // A stop signal: the reading stops; a second one only repeats that it stops.
    void stop(int signal);

    // What the user is told of a check's end, and the outcome it is reported as.
    struct Report
    {
        CommandLine::Status status = CommandLine::Refused;
        QString outcome;
        QString message;
        QJsonObject details; // for scripts: the record's fields and the items named
    };
    // `drive` names the drive as the user gave it; `installer`, when the check compared the drive with one,
    // names that installer.
    static Report report(const DriveCheck::Result &result, const QString &drive, const QString &installer);

private:
    QString volumeProblem() const;
    void finished(const DriveCheck::Result &result);
    void end(const Report &report);

    CommandLine m_line;
    ProgressOutput &m_output;
    DriveCheck m_check;
    DiskModelPtr m_drive;
    QTimer m_ticker;
    bool m_stopRequested = false;
    bool m_ended = false;
    int m_status = CommandLine::Refused;
};
