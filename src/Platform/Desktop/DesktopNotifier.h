#pragma once

#include <QObject>
#include <QString>

namespace platform {

// Notices on the desktop (org.freedesktop.Notifications on the session bus). Each notice replaces the one
// this notifier showed before; a click on it (its default action) is reported by activated(). Without a
// notification service nothing is shown and nothing fails. Calls are asynchronous.
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
    uint m_shownId = 0;
    bool m_listening = false;
};

} // namespace platform
