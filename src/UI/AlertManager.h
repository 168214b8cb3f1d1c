#pragma once

#include <QCoreApplication>
#include <QImage>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

class QMessageBox;
class QWidget;

// What an alert adds to its texts and buttons. Indices count the titles from 0; one out of range is ignored.
struct AlertOptions
{
    // The button Return presses, which has the focus when the alert comes up.
    int defaultButton = 0;
    // The button Escape presses; -1: the one titled "取消" or "继续创建" (as translated), else the only one.
    int cancelButton = -1;
    // The button drawn as the choice that erases (red), with an accessible description that says so.
    int destructiveButton = -1;
    // Why, and what to do instead: shown under the informative text, always visible, wrapped like it.
    QString detailText;
};

// Puts up the application's alerts as window-modal message boxes (the sheet stand-in) and reports the
// pressed button: 1000 for the first title, 1001 for the second, and so on.
class AlertManager
{
    Q_DECLARE_TR_FUNCTIONS(AlertManager)

public:
    // Platform alert styles.
    static constexpr uint64_t WarningStyle = 0;
    static constexpr uint64_t InformationalStyle = 1;
    static constexpr uint64_t CriticalStyle = 2;
    static constexpr int64_t FirstButtonReturn = 1000;
    // Texts wrap at this width (device-independent pixels), so an alert stays narrow whatever the language.
    static constexpr int TextWidth = 360;

    // Returns as soon as the alert is up. The informative text is shown only with the informational style;
    // without an icon the alert shows the application's. The handler, if any, runs once on the main thread.
    // The alert is returned for a caller that may have to take it down itself; it deletes itself on close.
    // The message and informative texts are shown exactly as given, as plain text; the options add to them.
    static QMessageBox *alertByWindow(QWidget *window, const QStringList &titles, const QImage &icon,
                                      const QString &messageText, const QString &informativeText,
                                      uint64_t alertStyle,
                                      std::function<void(int64_t response)> completionHandler,
                                      const AlertOptions &options = {});
};
