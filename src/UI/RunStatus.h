#pragma once

#include "Common/TransferRate.h"
#include "Creation/DiskutilResult.h"

#include <QCoreApplication>
#include <QString>

// The line under the start button while a run goes: what is happening now, and while the drive is written or
// read back, how much is done, how fast, and how long it will take.
class RunStatus
{
    Q_DECLARE_TR_FUNCTIONS(RunStatus)

public:
    // A new state of the run; Idle clears the line.
    void enter(DiskutilState state, bool asRoot);
    // A check of a finished drive begins: it reads the drive back as a run's verification does.
    void enterCheck();
    // The copy's share of the installer (of `installerBytes`), at `ms` milliseconds on a steady clock.
    void copied(double fraction, qint64 installerBytes, qint64 ms);
    // How much of the comparison is read.
    void verified(qint64 bytesDone, qint64 bytesTotal, qint64 ms);
    QString text() const;

    // "about 2 min 10 s", "about 1 h 5 min", "less than a minute" in the interface's language.
    static QString durationText(qint64 seconds);

private:
    DiskutilState m_state = DiskutilState::Idle;
    bool m_asRoot = false;
    bool m_driveCheck = false;
    double m_fraction = -1;
    TransferRate m_rate;
};
