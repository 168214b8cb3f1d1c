#include "Platform/Desktop/DesktopNotifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QGuiApplication>
#include <QVariantMap>
#include <utility>

namespace platform {

namespace {

const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");
const QString Interface = QStringLiteral("org.freedesktop.Notifications");
const QString DefaultAction = QStringLiteral("default");
constexpr int CallTimeoutMs = 5000;

} // namespace

DesktopNotifier::DesktopNotifier(QObject *parent) : QObject(parent) {}

void DesktopNotifier::notify(const QString &summary, const QString &body, const QString &iconName,
                             const QString &actionLabel)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    if (!m_listening) {
        // Matched by path and interface alone: naming the service would make Qt look its owner up with a
        // blocking call.
        bus.connect(QString(), Path, Interface, QStringLiteral("ActionInvoked"), this,
                    SLOT(actionInvoked(uint, QString)));
        bus.connect(QString(), Path, Interface, QStringLiteral("NotificationClosed"), this,
                    SLOT(notificationClosed(uint, uint)));
        m_listening = true;
    }
    const Notice notice{summary, body, iconName, actionLabel};
    if (m_bodyMarkup.has_value())
        return send(notice);
    // Each notice replaces the one before: while the service is asked, only the latest waits.
    if (std::exchange(m_waiting, notice))
        return;
    QDBusMessage ask =
        QDBusMessage::createMethodCall(Service, Path, Interface, QStringLiteral("GetCapabilities"));
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(ask, CallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *finished) {
        finished->deleteLater();
        const QDBusPendingReply<QStringList> reply = *finished;
        // A service that does not say is taken to read markup: escaped text only looks odd there.
        m_bodyMarkup = !reply.isValid() || reply.value().contains(QStringLiteral("body-markup"));
        if (const std::optional<Notice> waiting = std::exchange(m_waiting, std::nullopt))
            send(*waiting);
    });
}

void DesktopNotifier::send(const Notice &notice)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue<uchar>(1));
    if (const QString entry = QGuiApplication::desktopFileName(); !entry.isEmpty())
        hints.insert(QStringLiteral("desktop-entry"), entry);
    QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, Interface, QStringLiteral("Notify"));
    call << QGuiApplication::applicationDisplayName() << m_shownId << notice.iconName << notice.summary
         << (m_bodyMarkup.value_or(true) ? notice.body.toHtmlEscaped() : notice.body)
         << QStringList{DefaultAction, notice.actionLabel} << hints << -1;
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, CallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *finished) {
        finished->deleteLater();
        const QDBusPendingReply<uint> reply = *finished;
        if (reply.isValid())
            m_shownId = reply.value();
    });
}

void DesktopNotifier::actionInvoked(uint id, const QString &actionKey)
{
    if (id != 0 && id == m_shownId && actionKey == DefaultAction)
        emit activated();
}

void DesktopNotifier::notificationClosed(uint id, uint)
{
    if (id == m_shownId)
        m_shownId = 0;
}

} // namespace platform
