#pragma once

#include "WindowDriver.h"

#include <QDir>
#include <QString>

class MainViewController;

// The demo's scripted tour: drives the real main window through the whole flow and keeps a screenshot of
// each phase.
class Tour
{
public:
    Tour(MainViewController &window, QDir output);

    // Mount the drive below /Volumes when it is elsewhere, pick the installer, pick the drive, confirm, erase,
    // authorise, progress, success. True when the drive was made.
    bool run(const QString &installerPath, const QString &wantedDrive);
    QString failure() const { return m_failure; }

private:
    bool step(bool ok, const QString &what);
    void screenshot(const QString &name);

    MainViewController &m_window;
    WindowDriver m_driver;
    QDir m_output;
    QString m_failure;
    int m_shots = 0;
};
