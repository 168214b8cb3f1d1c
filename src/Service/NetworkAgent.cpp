#include "Service/NetworkAgent.h"

#include "Platform/Net/HTTPTransfer.h"
#include "Platform/Runtime/Dispatch.h"
#include "Platform/Text/TextEncoding.h"
#include "Service/HTTPRequestSerializer.h"
#include "Service/NetRequestDelegate.h"
#include "Service/NetUrlFilter.h"
#include "Service/NetworkConfig.h"
#include "Service/NetworkUtils.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <vector>

using namespace platform;
using TaskState = NetBaseRequest::TaskState;

const QString NetworkAgent::NetRequestValidationErrorDomain =
    QStringLiteral("app.bootdrive.request.validation");
const QString NetworkAgent::SerializationErrorDomain = QStringLiteral("app.bootdrive.request.serialization");

namespace {

QString methodText(int64_t method)
{
    static const char *const names[] = {"GET", "POST", "HEAD", "PUT", "DELETE", "PATCH"};
    return method >= 0 && method < 6 ? QString::fromLatin1(names[method]) : QString();
}

QNetworkRequest::Priority transferPriority(int64_t priority)
{
    switch (priority) {
    case NetBaseRequest::RequestPriorityLow:
        return QNetworkRequest::LowPriority;
    case NetBaseRequest::RequestPriorityHigh:
        return QNetworkRequest::HighPriority;
    default:
        return QNetworkRequest::NormalPriority;
    }
}

} // namespace

NetworkAgent &NetworkAgent::sharedAgent()
{
    // Lives for the whole process, like the transfers it keeps.
    static NetworkAgent *agent = new NetworkAgent;
    return *agent;
}

NetworkAgent::NetworkAgent()
    : m_config(NetworkConfig::sharedConfig()), m_network(new QNetworkAccessManager),
      m_limits(TransferLimits::service())
{
    // Replies are created and finished on the manager's thread, which must be the GUI thread.
    if (QCoreApplication *app = QCoreApplication::instance(); app && m_network->thread() != app->thread())
        m_network->moveToThread(app->thread());
}

TransferLimits NetworkAgent::transferLimits() const
{
    std::lock_guard guard(m_lock);
    return m_limits;
}

void NetworkAgent::setTransferLimits(const TransferLimits &limits)
{
    std::lock_guard guard(m_lock);
    m_limits = limits;
}

QString NetworkAgent::buildRequestUrl(const NetBaseRequest &request) const
{
    QString detail = request.requestUrl();
    const QUrl full(detail);
    if (!full.scheme().isEmpty() && !full.host().isEmpty())
        return detail;

    // Filters see the request itself; a request not owned by a shared pointer has no identity to give them.
    const NetBaseRequestPtr owner = std::const_pointer_cast<NetBaseRequest>(request.weak_from_this().lock());
    for (const auto &filter : m_config.urlFilters())
        detail = filter->filterUrl(detail, owner);

    QString base = request.useCDN() ? request.cdnUrl() : request.baseUrl();
    if (base.isEmpty())
        base = request.useCDN() ? m_config.cdnUrl() : m_config.baseUrl();
    QUrl baseUrl(base);
    if (!base.isEmpty() && !baseUrl.path().endsWith(QLatin1Char('/')))
        baseUrl.setPath(baseUrl.path() + QLatin1Char('/'));
    return baseUrl.resolved(QUrl(detail)).toString(QUrl::FullyEncoded);
}

std::optional<QNetworkRequest> NetworkAgent::httpRequestForRequest(NetBaseRequest &request, QByteArray *verb,
                                                                   QByteArray *body, Error *error) const
{
    const QString method = methodText(request.requestMethod());
    if (method.isEmpty()) {
        // No transfer can be made for an unknown method; fail the request instead of leaving it hanging.
        *error = Error{SerializationErrorDomain, CannotBuildRequest,
                       QStringLiteral("Unsupported request method %1").arg(request.requestMethod())};
        return std::nullopt;
    }
    *verb = method.toLatin1();
    QNetworkRequest http;
    // Qt's transfer time-out is an idle limit, as the request's time-out is.
    const double timeout = request.requestTimeoutInterval();
    if (timeout > 0)
        http.setTransferTimeout(static_cast<int>(std::clamp(std::ceil(timeout * 1000.0), 1.0, 2147483647.0)));
    const QStringList authorization = request.requestAuthorizationHeaderFieldArray();
    if (!authorization.isEmpty())
        http.setRawHeader(
            "Authorization",
            "Basic " + (authorization.first() + QLatin1Char(':') + authorization.last()).toUtf8().toBase64());
    for (const auto &[field, value] : request.requestHeaderFieldValueDictionary())
        http.setRawHeader(field.toLatin1(), value.toUtf8());
    return HTTPRequestSerializer::requestWithMethod(
        http, method, buildRequestUrl(request), request.requestArgument(),
        request.requestSerializerType() == NetBaseRequest::RequestSerializerTypeJSON
            ? HTTPRequestSerializer::BodyKind::JSON
            : HTTPRequestSerializer::BodyKind::Form,
        body, error);
}

void NetworkAgent::addRequest(const NetBaseRequestPtr &request)
{
    if (!request)
        return;
    QByteArray verb = "GET";
    QByteArray body;
    Error buildError{SerializationErrorDomain, CannotBuildRequest,
                     QStringLiteral("The request could not be built.")};
    std::optional<QNetworkRequest> http = request->buildCustomUrlRequest(&verb, &body);
    if (http)
        HTTPRequestSerializer::setDefaultHeaders(*http);
    else
        http = httpRequestForRequest(*request, &verb, &body, &buildError);
    if (!http) {
        request->m_taskIdentifier = 0;
        request->m_taskState = TaskState::None;
        requestDidFail(request, buildError);
        return;
    }
    http->setPriority(transferPriority(request->requestPriority()));
    {
        std::lock_guard guard(request->m_taskLock);
        request->m_originalRequest = *http;
        request->m_currentUrl = QUrl();
        request->m_statusCode = 0;
        request->m_responseHeaders.clear();
    }
    request->m_taskIdentifier = m_nextIdentifier.fetch_add(1);
    request->m_taskState = TaskState::Running;
    {
        std::lock_guard guard(m_lock);
        m_requestsRecord[request->m_taskIdentifier] = request;
    }
    if (Dispatch::isMainThread())
        startTransfer(request, verb, body);
    else
        Dispatch::main([this, request, verb, body] { startTransfer(request, verb, body); });
}

void NetworkAgent::startTransfer(const NetBaseRequestPtr &request, const QByteArray &verb,
                                 const QByteArray &body)
{
    if (request->taskState() != TaskState::Running) {
        request->m_taskState = TaskState::Completed; // cancelled before it could be sent
        return;
    }
    const uint64_t identifier = request->taskIdentifier();
    auto *transfer = HTTPTransfer::start(
        *m_network, *request->originalRequest(), verb, body, transferLimits(),
        [this, request, identifier](QNetworkReply *reply, const QByteArray &answer,
                                    const std::optional<Error> &error) {
            if (reply) {
                std::lock_guard guard(request->m_taskLock);
                request->m_statusCode = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
                request->m_responseHeaders = reply->rawHeaderPairs();
                request->m_currentUrl = reply->url();
            }
            request->m_taskState = TaskState::Completed;
            const std::optional<QByteArray> data = reply && !error ? std::optional(answer) : std::nullopt;
            Dispatch::global(
                [this, identifier, data, error] { handleRequestResult(identifier, data, error); });
        });
    request->m_transfer = transfer;
    if (QNetworkReply *reply = transfer->reply())
        QObject::connect(reply, &QNetworkReply::redirected, transfer, [request](const QUrl &url) {
            std::lock_guard guard(request->m_taskLock);
            request->m_currentUrl = url;
        });
}

void NetworkAgent::cancelRequest(const NetBaseRequestPtr &request)
{
    if (!request)
        return;
    // Out of the record first: aborting finishes the reply at once, and its answer must find nothing.
    removeRequestFromRecord(request);
    request->clearCompletionBlock();
    auto running = TaskState::Running;
    if (!request->m_taskState.compare_exchange_strong(running, TaskState::Canceling))
        return;
    auto abort = [request] {
        if (request->m_transfer)
            request->m_transfer->cancel();
    };
    if (Dispatch::isMainThread())
        abort();
    else
        Dispatch::main(std::move(abort));
}

void NetworkAgent::cancelAllRequests()
{
    std::vector<uint64_t> keys;
    {
        std::lock_guard guard(m_lock);
        for (const auto &entry : m_requestsRecord)
            keys.push_back(entry.first);
    }
    for (uint64_t key : keys)
        if (const NetBaseRequestPtr request = recordedRequest(key))
            request->stop();
}

size_t NetworkAgent::runningRequestCount() const
{
    std::lock_guard guard(m_lock);
    return m_requestsRecord.size();
}

void NetworkAgent::handleRequestResult(uint64_t taskIdentifier, const std::optional<QByteArray> &data,
                                       const std::optional<Error> &transportError)
{
    NetBaseRequestPtr request = recordedRequest(taskIdentifier);
    if (!request)
        return; // cancelled

    std::optional<Error> serializationError;
    request->setResponseObject(data ? std::optional<QVariant>(*data) : std::nullopt);
    if (data) {
        request->setResponseData(data);
        request->setResponseString(
            TextEncoding::decode(*data, NetworkUtils::stringEncodingWithRequest(*request))
                .value_or(QString()));
        if (request->responseSerializerType() == NetBaseRequest::ResponseSerializerTypeJSON) {
            const std::optional<QVariant> json =
                NetworkUtils::decodeJSON(request->responseHeader("Content-Type"), *data, &serializationError);
            request->setResponseObject(json);
            request->setResponseJSONObject(json);
        }
    }

    std::optional<Error> validationError;
    if (transportError)
        requestDidFail(request, *transportError);
    else if (serializationError)
        requestDidFail(request, *serializationError);
    else if (validateResult(request, &validationError))
        requestDidSucceed(request);
    else
        requestDidFail(request, *validationError);

    // Queued after the delivery, so the blocks have run before they are cleared.
    Dispatch::main([this, request]() mutable {
        removeRequestFromRecord(request);
        request->clearCompletionBlock();
        // A large answer takes tens of milliseconds to free; not on the GUI thread.
        Dispatch::global([request = std::move(request)] {});
    });
}

bool NetworkAgent::validateResult(const NetBaseRequestPtr &request, std::optional<Error> *error) const
{
    if (!request->statusCodeValidator()) {
        *error =
            Error{NetRequestValidationErrorDomain, InvalidStatusCode, QStringLiteral("Invalid status code")};
        return false;
    }
    const std::optional<QVariant> &json = request->responseJSONObject();
    const std::optional<QVariant> validator = request->jsonValidator();
    if (json && validator && !NetworkUtils::validateJSON(*json, *validator)) {
        *error =
            Error{NetRequestValidationErrorDomain, InvalidJSONFormat, QStringLiteral("Invalid JSON format")};
        return false;
    }
    return true;
}

void NetworkAgent::requestDidSucceed(const NetBaseRequestPtr &request)
{
    request->requestCompletePreprocessor();
    Dispatch::main([request] {
        request->toggleAccessoriesWillStopCallBack();
        request->requestCompleteFilter();
        if (const auto delegate = request->delegate())
            delegate->requestFinished(request);
        if (const auto block = request->successCompletionBlock())
            block(request);
        request->toggleAccessoriesDidStopCallBack();
    });
}

void NetworkAgent::requestDidFail(const NetBaseRequestPtr &request, const Error &error)
{
    request->setError(error);
    request->requestFailedPreprocessor();
    Dispatch::main([request] {
        request->toggleAccessoriesWillStopCallBack();
        request->requestFailedFilter();
        if (const auto delegate = request->delegate())
            delegate->requestFailed(request);
        if (const auto block = request->failureCompletionBlock())
            block(request);
        request->toggleAccessoriesDidStopCallBack();
    });
}

NetBaseRequestPtr NetworkAgent::recordedRequest(uint64_t taskIdentifier) const
{
    std::lock_guard guard(m_lock);
    const auto found = m_requestsRecord.find(taskIdentifier);
    return found == m_requestsRecord.end() ? NetBaseRequestPtr() : found->second;
}

void NetworkAgent::removeRequestFromRecord(const NetBaseRequestPtr &request)
{
    NetBaseRequestPtr removed; // released outside the lock
    std::lock_guard guard(m_lock);
    auto it = m_requestsRecord.find(request->taskIdentifier());
    if (it != m_requestsRecord.end() && it->second == request) {
        removed = std::move(it->second);
        m_requestsRecord.erase(it);
    }
}
