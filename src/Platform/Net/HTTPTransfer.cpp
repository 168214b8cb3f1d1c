#include "Platform/Net/HTTPTransfer.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <algorithm>
#include <cmath>

namespace platform {

const QString HTTPTransfer::ErrorDomain = QStringLiteral("app.bootdrive.url");

namespace {

Error makeError(int64_t code, const QString &description)
{
    return Error{HTTPTransfer::ErrorDomain, code, description};
}

Error errorFromReply(QNetworkReply::NetworkError error, const QString &qtText)
{
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
        return makeError(HTTPTransfer::CannotConnectToHost,
                         QStringLiteral("Could not connect to the server."));
    case QNetworkReply::RemoteHostClosedError:
        return makeError(HTTPTransfer::NetworkConnectionLost,
                         QStringLiteral("The network connection was lost."));
    case QNetworkReply::HostNotFoundError:
        return makeError(HTTPTransfer::CannotFindHost,
                         QStringLiteral("A server with the specified hostname could not be found."));
    // Qt's idle time-out aborts the reply; our own stops never reach this mapping.
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError:
        return makeError(HTTPTransfer::TimedOut, QStringLiteral("The request timed out."));
    case QNetworkReply::SslHandshakeFailedError:
        return makeError(HTTPTransfer::SecureConnectionFailed,
                         QStringLiteral("An SSL error has occurred and a secure connection to the server "
                                        "cannot be made."));
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
        return makeError(HTTPTransfer::NotConnectedToInternet,
                         QStringLiteral("The Internet connection appears to be offline."));
    case QNetworkReply::ProtocolUnknownError:
        return makeError(HTTPTransfer::UnsupportedURL, QStringLiteral("unsupported URL"));
    default:
        return makeError(HTTPTransfer::Unknown, qtText);
    }
}

// Errors of the connection itself, as opposed to the ones Qt derives from an HTTP status it received.
bool isTransportError(QNetworkReply::NetworkError error)
{
    const int code = static_cast<int>(error);
    return code != 0 && (code < 200 || (code >= 300 && code < 400));
}

int milliseconds(double seconds)
{
    return static_cast<int>(std::clamp(std::ceil(seconds * 1000.0), 1.0, 2147483647.0));
}

HTTPURLResponsePtr responseOf(QNetworkReply *reply)
{
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid())
        return {};
    QList<QPair<QString, QString>> headers;
    for (const auto &[name, value] : reply->rawHeaderPairs())
        headers.append({QString::fromLatin1(name), QString::fromUtf8(value)});
    return std::make_shared<HTTPURLResponse>(
        reply->url(), status.toInt(), reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString(),
        headers);
}

} // namespace

HTTPTransfer::HTTPTransfer(QNetworkAccessManager &manager, const TransferLimits &limits,
                           Completion completion)
    : QObject(&manager), m_limits(limits), m_completion(std::move(completion))
{}

HTTPTransfer *HTTPTransfer::start(QNetworkAccessManager &manager, const URLRequest &request,
                                  const TransferLimits &limits, Completion completion)
{
    auto *transfer = new HTTPTransfer(manager, limits, std::move(completion));
    transfer->send(manager, request);
    return transfer;
}

void HTTPTransfer::send(QNetworkAccessManager &manager, const URLRequest &request)
{
    const QUrl &url = request.url();
    const QString scheme = url.scheme().toLower();
    std::optional<Error> refusal;
    if (!scheme.isEmpty() && scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        refusal = makeError(UnsupportedURL, QStringLiteral("unsupported URL"));
    else if (!url.isValid() || url.isRelative() || url.host().isEmpty())
        refusal = makeError(BadURL, QStringLiteral("bad URL"));
    if (refusal) {
        // Never on the caller's stack: the caller may still be setting up around the transfer.
        QMetaObject::invokeMethod(
            this, [this, refusal] { complete({}, {}, refusal); }, Qt::QueuedConnection);
        return;
    }

    QNetworkRequest qtRequest(url);
    for (const auto &[field, value] : request.allHTTPHeaderFields())
        qtRequest.setRawHeader(field.toLatin1(), value.toUtf8());
    qtRequest.setPriority(request.priority());
    const double idle = request.timeoutInterval() > 0 ? request.timeoutInterval() : m_limits.idleSeconds;
    qtRequest.setTransferTimeout(milliseconds(idle));

    const QByteArray verb = request.httpMethod().toUpper().toLatin1();
    if (verb == "GET")
        m_reply = manager.get(qtRequest);
    else if (verb == "HEAD")
        m_reply = manager.head(qtRequest);
    else
        m_reply = manager.sendCustomRequest(qtRequest, verb, request.httpBody());
    m_reply->setParent(this);
    // Qt stops reading from the network while this much is waiting for us, so memory stays bounded even when
    // the GUI thread is slow to take it.
    m_reply->setReadBufferSize(std::min<qint64>(m_limits.maxBodyBytes + 1, 1 << 20));

    m_deadline = new QTimer(this);
    m_deadline->setSingleShot(true);
    connect(m_deadline, &QTimer::timeout, this, [this] { stop(Stop::TimedOut); });
    m_deadline->start(milliseconds(m_limits.totalSeconds));

    connect(m_reply, &QNetworkReply::metaDataChanged, this, [this] {
        // A declared length beyond the cap is refused before any of the body arrives.
        const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > m_limits.maxBodyBytes)
            stop(Stop::TooLarge);
    });
    connect(m_reply, &QNetworkReply::readyRead, this, &HTTPTransfer::collect);
    connect(m_reply, &QNetworkReply::redirected, this, [this](const QUrl &target) {
        if (m_redirected)
            m_redirected(target);
    });
    connect(m_reply, &QNetworkReply::finished, this, &HTTPTransfer::finished);
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
        m_reply->abort(); // finished() reports the reason
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
    const HTTPURLResponsePtr response = m_reply ? responseOf(m_reply) : HTTPURLResponsePtr();
    switch (m_stop) {
    case Stop::Cancelled:
        complete(response, {}, makeError(Cancelled, QStringLiteral("cancelled")));
        return;
    case Stop::TimedOut:
        complete(response, {}, makeError(TimedOut, QStringLiteral("The request timed out.")));
        return;
    case Stop::TooLarge:
        complete(response, {},
                 makeError(DataLengthExceedsMaximum,
                           QStringLiteral("The answer is larger than %1 bytes.").arg(m_limits.maxBodyBytes)));
        return;
    case Stop::None:
        break;
    }
    const QNetworkReply::NetworkError qtError =
        m_reply ? m_reply->error() : QNetworkReply::UnknownNetworkError;
    if (!response || isTransportError(qtError)) {
        complete(response, {}, errorFromReply(qtError, m_reply ? m_reply->errorString() : QString()));
        return;
    }
    collect();
    if (m_stop == Stop::TooLarge)
        return; // stop() has completed it
    const int code = response->statusCode();
    std::optional<Error> error;
    if (code < 100 || code > 599)
        error = makeError(
            BadServerResponse,
            QStringLiteral("Request failed: %1 (%2)").arg(response->localizedStatusText()).arg(code));
    complete(response, error ? QByteArray() : m_body, error);
}

void HTTPTransfer::complete(const HTTPURLResponsePtr &response, QByteArray body,
                            const std::optional<Error> &error)
{
    if (m_completed)
        return;
    m_completed = true;
    if (m_deadline)
        m_deadline->stop();
    m_body = QByteArray();
    deleteLater(); // the reply goes with it
    if (auto completion = std::exchange(m_completion, nullptr))
        completion(response, body, error);
}

} // namespace platform
