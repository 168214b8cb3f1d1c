#pragma once

#include <QDir>
#include <QString>
#include <QWidget>
#include <functional>

class MainViewController;

// Drives the real main window with synthetic input, as a person would, and keeps a screenshot of each phase.
class Tour
{
public:
    Tour(MainViewController &window, QDir output);

    // The whole creation flow: pick the installer, pick the drive, confirm, erase, authorise, progress,
    // success. True when the drive was made.
    bool run(const QString &installerPath, const QString &driveName);
    QString failure() const { return m_failure; }

private:
    bool waitFor(const std::function<bool()> &condition, int timeoutMs, const QString &what);
    void screenshot(const QString &name);
    QWidget *openDialog() const;
    bool clickButton(QWidget *dialog, const QString &text);

    MainViewController &m_window;
    QDir m_output;
    QString m_failure;
    int m_shots = 0;
};
