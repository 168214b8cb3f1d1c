#include "Platform/Desktop/SleepInhibitor.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace platform {

namespace {

// A service that does not answer within this time is passed over.
constexpr int CallTimeoutMs = 5000;
// The GNOME session manager's flag for "suspending the session or computer".
constexpr uint GnomeInhibitSuspend = 4;

SleepInhibitor::Backend nextAfter(SleepInhibitor::Backend backend)
{
    using Backend = SleepInhibitor::Backend;
    switch (backend) {
    case Backend::Logind:
        return Backend::PowerManagement;
    case Backend::PowerManagement:
        return Backend::GnomeSession;
    case Backend::GnomeSession:
    case Backend::None:
        break;
    }
    return Backend::None;
}

QDBusMessage powerManagementCall(const QString &method)
{
    return QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.PowerManagement"),
                                          QStringLiteral("/org/freedesktop/PowerManagement/Inhibit"),
                                          QStringLiteral("org.freedesktop.PowerManagement.Inhibit"), method);
}

QDBusMessage gnomeSessionCall(const QString &method)
{
    return QDBusMessage::createMethodCall(QStringLiteral("org.gnome.SessionManager"),
                                          QStringLiteral("/org/gnome/SessionManager"),
                                          QStringLiteral("org.gnome.SessionManager"), method);
}

} // namespace

SleepInhibitor::SleepInhibitor(QString who, QObject *parent) : QObject(parent), m_who(std::move(who)) {}

SleepInhibitor::~SleepInhibitor()
{
    m_wanted = false;
    giveBack();
}

void SleepInhibitor::acquire(const QString &why)
{
    m_wanted = true;
    m_why = why;
    if (m_pending || isHeld())
        return;
    tryFrom(Backend::Logind);
}

void SleepInhibitor::release()
{
    m_wanted = false;
    // An answer still out is given back when it arrives.
    if (!m_pending)
        giveBack();
}

void SleepInhibitor::tryFrom(Backend backend)
{
    m_pending = false;
    for (; backend != Backend::None; backend = nextAfter(backend)) {
        QDBusConnection bus =
            backend == Backend::Logind ? QDBusConnection::systemBus() : QDBusConnection::sessionBus();
        if (!bus.isConnected())
            continue;
        m_pending = true;
        auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(inhibitCall(backend), CallTimeoutMs), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this,
                [this, backend](QDBusPendingCallWatcher *finished) { answered(backend, finished); });
        return;
    }
}

QDBusMessage SleepInhibitor::inhibitCall(Backend backend) const
{
    QDBusMessage call;
    switch (backend) {
    case Backend::Logind:
        call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
            QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
        call << QStringLiteral("sleep") << m_who << m_why << QStringLiteral("block");
        break;
    case Backend::PowerManagement:
        call = powerManagementCall(QStringLiteral("Inhibit"));
        call << m_who << m_why;
        break;
    case Backend::GnomeSession:
        call = gnomeSessionCall(QStringLiteral("Inhibit"));
        call << m_who << 0u << m_why << GnomeInhibitSuspend;
        break;
    case Backend::None:
        break;
    }
    return call;
}

void SleepInhibitor::answered(Backend backend, QDBusPendingCallWatcher *watcher)
{
    watcher->deleteLater();
    const QDBusMessage reply = watcher->reply();
    const bool ok = reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty();
    if (!ok) {
        if (!m_wanted) {
            m_pending = false;
            return;
        }
        tryFrom(nextAfter(backend));
        return;
    }
    m_pending = false;
    if (backend == Backend::Logind) {
        m_lock = qdbus_cast<QDBusUnixFileDescriptor>(reply.arguments().constFirst());
        if (!m_lock.isValid())
            return tryFrom(nextAfter(backend));
    } else {
        m_cookie = reply.arguments().constFirst().toUInt();
    }
    m_backend = backend;
    emit heldChanged(true);
    if (!m_wanted)
        giveBack();
}

void SleepInhibitor::giveBack()
{
    const Backend held = m_backend;
    m_backend = Backend::None;
    switch (held) {
    case Backend::None:
        return;
    case Backend::Logind:
        // logind ends the lock when the last copy of its descriptor is closed.
        m_lock = QDBusUnixFileDescriptor();
        break;
    case Backend::PowerManagement:
        QDBusConnection::sessionBus().send(powerManagementCall(QStringLiteral("UnInhibit")) << m_cookie);
        break;
    case Backend::GnomeSession:
        QDBusConnection::sessionBus().send(gnomeSessionCall(QStringLiteral("Uninhibit")) << m_cookie);
        break;
    }
    m_cookie = 0;
    emit heldChanged(false);
}

} // namespace platform
