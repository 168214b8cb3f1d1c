#pragma once

#include <QObject>
#include <QString>
#include <optional>

namespace platform {

// Notices on the desktop (org.freedesktop.Notifications on the session bus). Each notice replaces the one
// this notifier showed before; a click on it (its default action) is reported by activated(). Without a
// notification service nothing is shown and nothing fails. Calls are asynchronous. The body is plain text:
// for a service that reads markup in bodies (and may load the images it names) it is escaped.
class DesktopNotifier : public QObject
{
    Q_OBJECT

public:
    explicit DesktopNotifier(QObject *parent = nullptr);

    // iconName: a themed icon; actionLabel: the default action's words where the service shows them.
    void notify(const QString &summary, const QString &body, const QString &iconName,
                const QString &actionLabel);

signals:
    void activated();

private slots:
    void actionInvoked(uint id, const QString &actionKey);
    void notificationClosed(uint id, uint reason);

private:
    struct Notice
    {
        QString summary, body, iconName, actionLabel;
    };
    void send(const Notice &notice);

    uint m_shownId = 0;
    std::optional<bool> m_bodyMarkup; // whether the service reads markup in bodies, once it has said
    std::optional<Notice> m_waiting;  // the latest notice while the service is asked that
    bool m_listening = false;
};

} // namespace platform
