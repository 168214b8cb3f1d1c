#include "Platform/URLSessionTask.h"

#include "Platform/Dispatch.h"
#include "Platform/URLSession.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <algorithm>
#include <cmath>

namespace platform {

namespace {

Error makeError(int64_t code, const QString &description)
{
    return Error{URLSession::ErrorDomain, code, description};
}

Error errorFromReply(QNetworkReply::NetworkError error, const QString &qtText)
{
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
        return makeError(URLSession::CannotConnectToHost, QStringLiteral("Could not connect to the server."));
    case QNetworkReply::RemoteHostClosedError:
        return makeError(URLSession::NetworkConnectionLost,
                         QStringLiteral("The network connection was lost."));
    case QNetworkReply::HostNotFoundError:
        return makeError(URLSession::CannotFindHost,
                         QStringLiteral("A server with the specified hostname could not be found."));
    // The transfer time-out aborts the reply; a cancellation by us never reaches this mapping.
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError:
        return makeError(URLSession::TimedOut, QStringLiteral("The request timed out."));
    case QNetworkReply::SslHandshakeFailedError:
        return makeError(URLSession::SecureConnectionFailed,
                         QStringLiteral("An SSL error has occurred and a secure connection to the server "
                                        "cannot be made."));
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
        return makeError(URLSession::NotConnectedToInternet,
                         QStringLiteral("The Internet connection appears to be offline."));
    case QNetworkReply::ProtocolUnknownError:
        return makeError(URLSession::UnsupportedURL, QStringLiteral("unsupported URL"));
    default:
        return makeError(URLSession::Unknown, qtText);
    }
}

// Errors of the connection itself, as opposed to the ones Qt derives from an HTTP status it received.
bool isTransportError(QNetworkReply::NetworkError error)
{
    const int code = static_cast<int>(error);
    return code != 0 && (code < 200 || (code >= 300 && code < 400));
}

QNetworkRequest::Priority qtPriority(float priority)
{
    if (priority < URLSessionTask::DefaultPriority)
        return QNetworkRequest::LowPriority;
    if (priority > URLSessionTask::DefaultPriority)
        return QNetworkRequest::HighPriority;
    return QNetworkRequest::NormalPriority;
}

} // namespace

URLSessionTask::URLSessionTask(uint64_t identifier, const URLRequest &request, QNetworkAccessManager *manager,
                               Delivery delivery, CompletionHandler handler)
    : m_identifier(identifier), m_originalRequest(request), m_manager(manager),
      m_delivery(std::move(delivery)), m_currentRequest(request), m_handler(std::move(handler))
{}

void URLSessionTask::setPriority(float priority)
{
    m_priority = std::clamp(priority, 0.0f, 1.0f);
}

URLRequest URLSessionTask::originalRequest() const
{
    return m_originalRequest;
}

URLRequest URLSessionTask::currentRequest() const
{
    std::lock_guard guard(m_lock);
    return m_currentRequest;
}

HTTPURLResponsePtr URLSessionTask::response() const
{
    std::lock_guard guard(m_lock);
    return m_response;
}

std::optional<Error> URLSessionTask::error() const
{
    std::lock_guard guard(m_lock);
    return m_error;
}

void URLSessionTask::resume()
{
    State expected = State::Suspended;
    if (!m_state.compare_exchange_strong(expected, State::Running))
        return;
    if (Dispatch::isMainThread())
        startOnMain();
    else
        Dispatch::main([self = shared_from_this()] { self->startOnMain(); });
}

void URLSessionTask::cancel()
{
    State previous = m_state.load();
    do {
        if (previous == State::Canceling || previous == State::Completed)
            return;
    } while (!m_state.compare_exchange_weak(previous, State::Canceling));
    if (previous == State::Suspended) {
        complete({}, {}, makeError(URLSession::Cancelled, QStringLiteral("cancelled")));
        return;
    }
    if (Dispatch::isMainThread())
        cancelOnMain();
    else
        Dispatch::main([self = shared_from_this()] { self->cancelOnMain(); });
}

void URLSessionTask::cancelOnMain()
{
    if (m_reply)
        m_reply->abort(); // finished() reports the cancellation
    else
        complete({}, {}, makeError(URLSession::Cancelled, QStringLiteral("cancelled")));
}

void URLSessionTask::startOnMain()
{
    URLRequest request;
    {
        std::lock_guard guard(m_lock);
        if (m_completed)
            return;
        request = m_currentRequest;
    }
    if (m_state.load() == State::Canceling) {
        complete({}, {}, makeError(URLSession::Cancelled, QStringLiteral("cancelled")));
        return;
    }
    const QUrl &url = request.url();
    const QString scheme = url.scheme().toLower();
    if (!scheme.isEmpty() && scheme != QLatin1String("http") && scheme != QLatin1String("https")) {
        complete({}, {}, makeError(URLSession::UnsupportedURL, QStringLiteral("unsupported URL")));
        return;
    }
    if (!url.isValid() || url.isRelative() || url.host().isEmpty()) {
        complete({}, {}, makeError(URLSession::BadURL, QStringLiteral("bad URL")));
        return;
    }
    if (!m_manager) {
        complete({}, {},
                 makeError(URLSession::Unknown, QStringLiteral("The session is no longer available.")));
        return;
    }

    QNetworkRequest qtRequest(url);
    for (const auto &[field, value] : request.allHTTPHeaderFields())
        qtRequest.setRawHeader(field.toLatin1(), value.toUtf8());
    qtRequest.setPriority(qtPriority(m_priority.load()));
    const double seconds = request.timeoutInterval() > 0 ? request.timeoutInterval() : 60.0;
    qtRequest.setTransferTimeout(static_cast<int>(std::min(std::ceil(seconds * 1000.0), 2147483647.0)));

    const QByteArray verb = request.httpMethod().toUpper().toLatin1();
    QNetworkReply *reply = nullptr;
    if (verb == "GET")
        reply = m_manager->get(qtRequest);
    else if (verb == "HEAD")
        reply = m_manager->head(qtRequest);
    else
        reply = m_manager->sendCustomRequest(qtRequest, verb, request.httpBody());
    m_reply = reply;

    auto self = shared_from_this();
    QObject::connect(reply, &QNetworkReply::redirected, reply, [self](const QUrl &target) {
        std::lock_guard guard(self->m_lock);
        self->m_currentRequest.setUrl(target);
    });
    QObject::connect(reply, &QNetworkReply::finished, reply, [self, reply] { self->finished(reply); });
}

void URLSessionTask::finished(QNetworkReply *reply)
{
    const auto keepAlive = shared_from_this();
    reply->deleteLater();
    m_reply.clear();

    const QNetworkReply::NetworkError qtError = reply->error();
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    HTTPURLResponsePtr response;
    DataPtr data;
    std::optional<Error> error;

    if (status.isValid()) {
        QList<QPair<QString, QString>> headers;
        for (const auto &[name, value] : reply->rawHeaderPairs())
            headers.append({QString::fromLatin1(name), QString::fromUtf8(value)});
        response = std::make_shared<HTTPURLResponse>(
            reply->url(), status.toInt(),
            reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString(), headers);
    }
    if (m_state.load() == State::Canceling) {
        error = makeError(URLSession::Cancelled, QStringLiteral("cancelled"));
    } else if (response && !isTransportError(qtError)) {
        data = Data::make(reply->readAll());
        const int code = response->statusCode();
        if (code < 100 || code > 599)
            error = makeError(
                URLSession::BadServerResponse,
                QStringLiteral("Request failed: %1 (%2)").arg(response->localizedStatusText()).arg(code));
    } else {
        error = errorFromReply(qtError, reply->errorString());
    }
    complete(response, data, error);
}

void URLSessionTask::complete(const HTTPURLResponsePtr &response, const DataPtr &data,
                              const std::optional<Error> &error)
{
    CompletionHandler handler;
    {
        std::lock_guard guard(m_lock);
        if (m_completed)
            return;
        m_completed = true;
        m_response = response;
        m_error = error;
        handler = std::move(m_handler);
        m_handler = nullptr;
    }
    m_state = State::Completed;
    if (!handler)
        return;
    auto run = [self = shared_from_this(), handler = std::move(handler), response, data, error] {
        handler(self, response, data, error);
    };
    if (m_delivery)
        m_delivery(std::move(run));
    else
        Dispatch::global(std::move(run));
}

} // namespace platform
