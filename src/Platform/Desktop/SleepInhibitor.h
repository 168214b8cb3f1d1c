#pragma once

#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QString>

class QDBusPendingCallWatcher;

namespace platform {

// Keeps the computer from going to sleep while held: logind's inhibitor lock on the system bus (what
// "sleep", mode "block", kept as the descriptor logind returns), else the freedesktop power-management
// inhibitor, else the GNOME session manager's, both on the session bus. Services that are absent or fail
// are passed over silently; without any, holding changes nothing. Every call is asynchronous, so a slow bus
// never stalls the GUI thread, and a release that comes while the answer is still out gives the lock back
// as soon as it arrives.
class SleepInhibitor : public QObject
{
    Q_OBJECT

public:
    enum class Backend
    {
        None,
        Logind,
        PowerManagement,
        GnomeSession,
    };

    // who: the application's name, as the inhibitor lists show it.
    explicit SleepInhibitor(QString who, QObject *parent = nullptr);
    ~SleepInhibitor() override;
    SleepInhibitor(const SleepInhibitor &) = delete;
    SleepInhibitor &operator=(const SleepInhibitor &) = delete;

    // why: shown beside the lock. Holding already (or asking) is left as it is.
    void acquire(const QString &why);
    void release();
    // The service that holds the lock now; None while nothing is held.
    Backend backend() const { return m_backend; }
    bool isHeld() const { return m_backend != Backend::None; }
    // While an answer is still out.
    bool isPending() const { return m_pending; }

signals:
    // The lock was taken (isHeld) or given back.
    void heldChanged(bool held);

private:
    void tryFrom(Backend backend);
    QDBusMessage inhibitCall(Backend backend) const;
    void answered(Backend backend, QDBusPendingCallWatcher *watcher);
    void giveBack();

    QString m_who;
    QString m_why;
    bool m_wanted = false;
    bool m_pending = false;
    Backend m_backend = Backend::None;
    QDBusUnixFileDescriptor m_lock; // logind's: the lock lasts while this descriptor is open
    uint m_cookie = 0;              // the session inhibitors'
};

} // namespace platform
