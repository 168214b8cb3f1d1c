#include "RecordingService.h"

#include <QAtomicInt>

namespace {

QString nextConnectionName()
{
    static QAtomicInt counter;
    return QStringLiteral("bootdrive-recording-service-%1").arg(counter.fetchAndAddRelaxed(1));
}

} // namespace

RecordingService::RecordingService(QDBusConnection::BusType bus, const QString &service, const QString &path)
    : m_connectionName(nextConnectionName()),
      m_connection(QDBusConnection::connectToBus(bus, m_connectionName)), m_service(service), m_path(path)
{
    if (!m_connection.isConnected())
        m_error = QStringLiteral("cannot connect to the bus: %1").arg(m_connection.lastError().message());
    else if (!m_connection.registerVirtualObject(path, this, QDBusConnection::SingleNode))
        m_error = QStringLiteral("cannot register %1").arg(path);
    else if (!m_connection.registerService(service))
        m_error = QStringLiteral("cannot own %1: %2").arg(service, m_connection.lastError().message());
}

RecordingService::~RecordingService()
{
    m_connection.unregisterService(m_service);
    m_connection.unregisterObject(m_path);
    QDBusConnection::disconnectFromBus(m_connectionName);
}

void RecordingService::answer(const QString &method, Handler handler)
{
    QMutexLocker locker(&m_lock);
    m_handlers[method] = std::move(handler);
}

QList<QDBusMessage> RecordingService::calls(const QString &method) const
{
    QMutexLocker locker(&m_lock);
    QList<QDBusMessage> found;
    for (const QDBusMessage &call : m_calls)
        if (call.member() == method)
            found << call;
    return found;
}

void RecordingService::emitSignal(const QString &interface, const QString &name,
                                  const QVariantList &arguments)
{
    QDBusMessage message = QDBusMessage::createSignal(m_path, interface, name);
    message.setArguments(arguments);
    m_connection.send(message);
}

bool RecordingService::handleMessage(const QDBusMessage &message, const QDBusConnection &connection)
{
    if (message.type() != QDBusMessage::MethodCallMessage)
        return false;
    Handler handler;
    {
        QMutexLocker locker(&m_lock);
        m_calls << message;
        const auto found = m_handlers.find(message.member());
        if (found != m_handlers.end())
            handler = found->second;
    }
    if (!handler) {
        connection.send(message.createErrorReply(QDBusError::UnknownMethod, message.member()));
        return true;
    }
    connection.send(message.createReply(handler(message)));
    return true;
}

QString RecordingService::introspect(const QString &) const
{
    return {};
}
