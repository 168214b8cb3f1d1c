#pragma once

#include <QPixmap>
#include <QString>
#include <functional>

class QMessageBox;
class QWidget;
class OpenPanel;

// Drives a window the way a person would: waits for dialogs, types into the installer picker, clicks the
// buttons of alerts. Shared by the demo tour and the window tests.
class WindowDriver
{
public:
    explicit WindowDriver(QWidget &window) : m_window(window) {}

    // Runs the event loop until the condition holds; false after the time is up.
    static bool waitFor(const std::function<bool()> &condition, int timeoutMs);
    // The dialog open over the window (an alert or the picker), or none.
    QWidget *openDialog() const;
    QMessageBox *waitForAlert(int timeoutMs = 10000) const;
    OpenPanel *waitForPicker(int timeoutMs = 10000) const;
    // Clicks the visible button with the text; false when there is none.
    static bool clickButton(QWidget *dialog, const QString &text);
    // In an open picker: goes to the bundle's folder, types its name and presses the prompt button.
    static bool chooseInPicker(OpenPanel *panel, const QString &path, const QString &prompt);
    // The window with an open dialog drawn over it like a sheet.
    QPixmap screenshot() const;

private:
    QWidget &m_window;
};
