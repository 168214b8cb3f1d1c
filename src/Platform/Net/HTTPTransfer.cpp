#include "Platform/Net/HTTPTransfer.h"

#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QTimer>
#include <algorithm>
#include <cmath>

namespace platform {

const QString HTTPTransfer::ErrorDomain = QStringLiteral("QNetworkReply");

namespace {

Error failure(int64_t code, const QString &description)
{
    return Error{HTTPTransfer::ErrorDomain, code, description};
}

int milliseconds(double seconds)
{
    return static_cast<int>(std::clamp(std::ceil(seconds * 1000.0), 1.0, 2147483647.0));
}

// Qt turns an HTTP error status into an error of the reply; for us a status is an answer. What fails the
// exchange itself: the network layer (connection, time-out, TLS, redirects) and proxies, a broken
// protocol, or no HTTP answer at all.
bool failedInTransport(QNetworkReply *reply)
{
    const QNetworkReply::NetworkError error = reply->error();
    return (error != QNetworkReply::NoError && error < QNetworkReply::ContentAccessDenied) ||
           error == QNetworkReply::ProtocolFailure ||
           !reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
}

} // namespace

HTTPTransfer::HTTPTransfer(QNetworkAccessManager &manager, const TransferLimits &limits,
                           Completion completion)
    : QObject(&manager), m_limits(limits), m_completion(std::move(completion))
{}

HTTPTransfer *HTTPTransfer::start(QNetworkAccessManager &manager, QNetworkRequest request,
                                  const QByteArray &verb, const QByteArray &body,
                                  const TransferLimits &limits, Completion completion)
{
    auto *transfer = new HTTPTransfer(manager, limits, std::move(completion));
    const QUrl url = request.url();
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        // Qt would read a file: address from the disk; only web addresses are sent. Never on the caller's
        // stack: the caller may still be setting up around the transfer.
        const Error refusal = failure(QNetworkReply::ProtocolUnknownError,
                                      QStringLiteral("unsupported URL: %1").arg(url.toDisplayString()));
        QMetaObject::invokeMethod(
            transfer, [transfer, refusal] { transfer->complete({}, refusal); }, Qt::QueuedConnection);
        return transfer;
    }
    if (request.transferTimeout() <= 0)
        request.setTransferTimeout(milliseconds(limits.idleSeconds));
    if (verb == "GET")
        transfer->m_reply = manager.get(request);
    else if (verb == "HEAD")
        transfer->m_reply = manager.head(request);
    else
        transfer->m_reply = manager.sendCustomRequest(request, verb, body);
    QNetworkReply *reply = transfer->m_reply;
    reply->setParent(transfer);
    // Qt stops reading from the network while this much is waiting for us, so memory stays bounded even when
    // the GUI thread is slow to take it.
    reply->setReadBufferSize(std::min<qint64>(limits.maxBodyBytes + 1, 1 << 20));

    transfer->m_deadline = new QTimer(transfer);
    transfer->m_deadline->setSingleShot(true);
    connect(transfer->m_deadline, &QTimer::timeout, transfer, [transfer] { transfer->stop(Stop::TimedOut); });
    transfer->m_deadline->start(milliseconds(limits.totalSeconds));

    connect(reply, &QNetworkReply::metaDataChanged, transfer, [transfer, reply] {
        // A declared length beyond the cap is refused before any of the body arrives.
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > transfer->m_limits.maxBodyBytes)
            transfer->stop(Stop::TooLarge);
    });
    connect(reply, &QNetworkReply::readyRead, transfer, &HTTPTransfer::collect);
    connect(reply, &QNetworkReply::finished, transfer, &HTTPTransfer::finished);
    return transfer;
}

void HTTPTransfer::cancel()
{
    stop(Stop::Cancelled);
}

void HTTPTransfer::stop(Stop reason)
{
    if (m_completed || m_stop != Stop::None)
        return;
    m_stop = reason;
    if (m_reply && m_reply->isRunning())
        m_reply->abort(); // finishes the reply at once; finished() reports the reason
    else
        finished();
}

void HTTPTransfer::collect()
{
    if (!m_reply || m_stop != Stop::None)
        return;
    // Read as it comes, so the reply never buffers more than one network read beyond the cap.
    m_body += m_reply->read(m_limits.maxBodyBytes + 1 - m_body.size());
    if (m_body.size() > m_limits.maxBodyBytes)
        stop(Stop::TooLarge);
}

void HTTPTransfer::finished()
{
    if (m_completed)
        return;
    switch (m_stop) {
    case Stop::Cancelled:
        complete({}, failure(QNetworkReply::OperationCanceledError, QStringLiteral("Operation canceled")));
        return;
    case Stop::TimedOut:
        complete({}, failure(QNetworkReply::TimeoutError, QStringLiteral("The request timed out.")));
        return;
    case Stop::TooLarge:
        complete({},
                 failure(BodyTooLargeError,
                         QStringLiteral("The answer is larger than %1 bytes.").arg(m_limits.maxBodyBytes)));
        return;
    case Stop::None:
        break;
    }
    if (!m_reply || failedInTransport(m_reply)) {
        const QNetworkReply::NetworkError error =
            m_reply ? m_reply->error() : QNetworkReply::UnknownNetworkError;
        // Nobody else aborts our replies: a cancellation we did not ask for is Qt's idle time-out.
        if (error == QNetworkReply::OperationCanceledError || error == QNetworkReply::TimeoutError)
            complete({}, failure(QNetworkReply::TimeoutError, QStringLiteral("The request timed out.")));
        else
            complete({}, failure(error, m_reply ? m_reply->errorString() : QString()));
        return;
    }
    collect();
    if (m_stop == Stop::TooLarge)
        return; // stop() has completed it
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status < 100 || status > 599) {
        const QString reason =
            m_reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString().trimmed().toLower();
        complete({}, failure(QNetworkReply::ProtocolFailure,
                             QStringLiteral("Request failed: %1 (%2)")
                                 .arg(reason.isEmpty() ? QStringLiteral("unknown") : reason)
                                 .arg(status)));
        return;
    }
    complete(std::exchange(m_body, {}), std::nullopt);
}

void HTTPTransfer::complete(QByteArray body, const std::optional<Error> &error)
{
    if (m_completed)
        return;
    m_completed = true;
    if (m_deadline)
        m_deadline->stop();
    m_body = QByteArray();
    deleteLater(); // the reply goes with it
    if (auto completion = std::exchange(m_completion, nullptr))
        completion(m_reply, body, error);
}

} // namespace platform
