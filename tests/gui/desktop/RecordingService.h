#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QList>
#include <QMutex>
#include <QString>
#include <QVariantList>
#include <functional>
#include <map>

// A stand-in for a desktop service on a private bus: owns the service name on a connection of its own,
// answers every method call at its path through the handler given for that method (an error for the
// others), records the calls, and emits signals as the service would. Calls are handled on Qt's D-Bus
// thread, so handlers must not touch widgets.
class RecordingService : public QDBusVirtualObject
{
public:
    using Handler = std::function<QVariantList(const QDBusMessage &call)>;

    RecordingService(QDBusConnection::BusType bus, const QString &service, const QString &path);
    ~RecordingService() override;

    // Empty when the service is up, else why not.
    QString error() const { return m_error; }
    void answer(const QString &method, Handler handler);
    // The calls of the method so far, oldest first.
    QList<QDBusMessage> calls(const QString &method) const;
    void emitSignal(const QString &interface, const QString &name, const QVariantList &arguments);

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override;
    QString introspect(const QString &path) const override;

private:
    QString m_connectionName;
    QDBusConnection m_connection;
    QString m_service;
    QString m_path;
    QString m_error;
    mutable QMutex m_lock;
    std::map<QString, Handler> m_handlers;
    QList<QDBusMessage> m_calls;
};
