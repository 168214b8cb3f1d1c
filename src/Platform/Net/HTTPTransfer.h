#pragma once

#include "Platform/Net/TransferLimits.h"
#include "Platform/Values/Error.h"

#include <QByteArray>
#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <functional>
#include <optional>

class QNetworkAccessManager;
class QNetworkRequest;
class QTimer;

namespace platform {

// One HTTP exchange on Qt's network access manager, held to its limits: the body is collected as it
// arrives, and the exchange fails once the body passes the byte cap, the whole exchange passes its time
// limit, or no data came for the idle time (the request's transfer time-out). Only http and https are sent.
// Lives on the manager's thread (the GUI thread); the completion runs there exactly once, never on the
// caller's stack, after which the transfer deletes itself and its reply.
//
// Failures are Qt's own: the domain is QNetworkReply and the codes its NetworkError values. Only the
// connection, time-outs, TLS, cancellation and a missing answer are failures; a reply with an HTTP status is
// an answer however Qt rates that status, so 4xx and 5xx reach the caller's own status rules.
class HTTPTransfer : public QObject
{
    Q_OBJECT

public:
    static const QString ErrorDomain;
    // The one failure Qt has no code for: the body passed the cap.
    static constexpr int64_t BodyTooLargeError = 1000;

    // The finished reply (status, header fields and final URL as Qt has them; null when nothing was sent),
    // the body, and the failure if any. A status outside 100-599 is the failure ProtocolFailure
    // "Request failed: <status text> (<code>)".
    using Completion =
        std::function<void(QNetworkReply *reply, const QByteArray &body, const std::optional<Error> &error)>;

    // Sends the verb with the body (none for GET and HEAD). Without a transfer time-out on the request,
    // limits.idleSeconds is the idle limit.
    static HTTPTransfer *start(QNetworkAccessManager &manager, QNetworkRequest request,
                               const QByteArray &verb, const QByteArray &body, const TransferLimits &limits,
                               Completion completion);
    // Ends the exchange early; the completion reports OperationCanceledError at once. Nothing happens once
    // it has completed.
    void cancel();
    // The reply while the exchange runs.
    QNetworkReply *reply() const { return m_reply; }

private:
    enum class Stop
    {
        None,
        Cancelled,
        TimedOut,
        TooLarge,
    };

    HTTPTransfer(QNetworkAccessManager &manager, const TransferLimits &limits, Completion completion);
    void stop(Stop reason);
    void collect();
    void finished();
    void complete(QByteArray body, const std::optional<Error> &error);

    TransferLimits m_limits;
    Completion m_completion;
    QPointer<QNetworkReply> m_reply;
    QTimer *m_deadline = nullptr;
    QByteArray m_body;
    Stop m_stop = Stop::None;
    bool m_completed = false;
};

} // namespace platform
