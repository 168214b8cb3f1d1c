#include "Service/NetworkAgent.h"

#include "Platform/Net/HTTPTransfer.h"
#include "Service/HTTPRequestSerializer.h"
#include "Service/NetRequestDelegate.h"
#include "Service/NetUrlFilter.h"
#include "Service/NetworkConfig.h"
#include "Service/NetworkUtils.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QStringDecoder>
#include <QUrl>
#include <QtConcurrent/QtConcurrentRun>
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
    return m_limits;
}

void NetworkAgent::setTransferLimits(const TransferLimits &limits)
{
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
        // Never recorded, so its blocks stay; delivered later, never on the caller's stack.
        request->endTaskUnbuilt();
        request->setError(buildError);
        request->requestFailedPreprocessor();
        QMetaObject::invokeMethod(
            m_network, [request] { notify(request, false); }, Qt::QueuedConnection);
        return;
    }
    http->setPriority(transferPriority(request->requestPriority()));
    request->beginTask(m_nextIdentifier++, *http);
    m_requestsRecord[request->taskIdentifier()] = request;
    startTransfer(request, verb, body);
}

void NetworkAgent::startTransfer(const NetBaseRequestPtr &request, const QByteArray &verb,
                                 const QByteArray &body)
{
    auto *transfer = HTTPTransfer::start(
        *m_network, *request->originalRequest(), verb, body, m_limits,
        [this, request, identifier = request->taskIdentifier()](
            QNetworkReply *reply, const QByteArray &answer, const std::optional<Error> &error) {
            if (reply)
                request->setResponseHead(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
                                         reply->rawHeaderPairs(), reply->url());
            request->setTaskState(TaskState::Completed);
            handleRequestResult(request, identifier,
                                reply && !error ? std::optional<QByteArray>(answer) : std::nullopt, error);
        });
    request->setTransfer(transfer);
    if (QNetworkReply *reply = transfer->reply())
        QObject::connect(reply, &QNetworkReply::redirected, transfer,
                         [request](const QUrl &url) { request->setCurrentUrl(url); });
}

void NetworkAgent::cancelRequest(const NetBaseRequestPtr &request)
{
    if (!request)
        return;
    // Out of the record first: aborting finishes the transfer, and its answer must find nothing.
    if (const auto it = m_requestsRecord.find(request->taskIdentifier());
        it != m_requestsRecord.end() && it->second == request)
        m_requestsRecord.erase(it);
    request->clearCompletionBlock();
    if (request->taskState() != TaskState::Running)
        return;
    request->setTaskState(TaskState::Canceling);
    if (HTTPTransfer *transfer = request->transfer())
        transfer->cancel();
}

void NetworkAgent::cancelAllRequests()
{
    std::vector<uint64_t> keys;
    for (const auto &entry : m_requestsRecord)
        keys.push_back(entry.first);
    // A stop may end others (an accessory's doing); each is looked up again.
    for (uint64_t key : keys)
        if (const auto it = m_requestsRecord.find(key); it != m_requestsRecord.end())
            NetBaseRequestPtr(it->second)->stop();
}

size_t NetworkAgent::runningRequestCount() const
{
    return m_requestsRecord.size();
}

bool NetworkAgent::isRecorded(const NetBaseRequestPtr &request, uint64_t identifier) const
{
    const auto recorded = m_requestsRecord.find(identifier);
    return recorded != m_requestsRecord.end() && recorded->second == request;
}

void NetworkAgent::handleRequestResult(const NetBaseRequestPtr &request, uint64_t identifier,
                                       const std::optional<QByteArray> &data,
                                       const std::optional<Error> &transportError)
{
    if (!isRecorded(request, identifier))
        return; // cancelled
    if (!data || data->size() <= WorkerDecodeThreshold) {
        deliver(request, identifier, processResult(*request, data, transportError));
        return;
    }
    // The request is the worker's alone until the answer is back: the caller only sees it in the blocks.
    QtConcurrent::run([request, data, transportError] {
        return processResult(*request, data, transportError);
    }).then(m_network, [this, request, identifier](const std::optional<Error> &failure) {
        deliver(request, identifier, failure);
    });
}

std::optional<Error> NetworkAgent::processResult(NetBaseRequest &request,
                                                 const std::optional<QByteArray> &data,
                                                 const std::optional<Error> &transportError)
{
    std::optional<Error> serializationError;
    request.setResponseObject(data ? std::optional<QVariant>(*data) : std::nullopt);
    if (data) {
        request.setResponseData(data);
        // Invalid bytes in the declared charset leave no text rather than replacement characters.
        QStringDecoder decoder(NetworkUtils::stringEncodingWithRequest(request).toLatin1().constData(),
                               QStringDecoder::Flag::Stateless);
        QString text = decoder.decode(*data);
        request.setResponseString(decoder.hasError() ? QString() : text.isNull() ? QLatin1String("") : text);
        if (request.responseSerializerType() == NetBaseRequest::ResponseSerializerTypeJSON) {
            const std::optional<QVariant> json =
                NetworkUtils::decodeJSON(request.responseHeader("Content-Type"), *data, &serializationError);
            request.setResponseObject(json);
            request.setResponseJSONObject(json);
        }
    }

    std::optional<Error> failure = transportError ? transportError : serializationError;
    if (!failure)
        validateResult(request, &failure);
    if (failure) {
        request.setError(failure);
        request.requestFailedPreprocessor();
    } else {
        request.requestCompletePreprocessor();
    }
    return failure;
}

bool NetworkAgent::validateResult(const NetBaseRequest &request, std::optional<Error> *error)
{
    if (!request.statusCodeValidator()) {
        *error =
            Error{NetRequestValidationErrorDomain, InvalidStatusCode, QStringLiteral("Invalid status code")};
        return false;
    }
    const std::optional<QVariant> &json = request.responseJSONObject();
    const std::optional<QVariant> validator = request.jsonValidator();
    if (json && validator && !NetworkUtils::validateJSON(*json, *validator)) {
        *error =
            Error{NetRequestValidationErrorDomain, InvalidJSONFormat, QStringLiteral("Invalid JSON format")};
        return false;
    }
    return true;
}

void NetworkAgent::deliver(const NetBaseRequestPtr &request, uint64_t identifier,
                           const std::optional<Error> &failure)
{
    if (!isRecorded(request, identifier))
        return; // cancelled while its answer was decoded
    notify(request, !failure);
    // A block may have started the request afresh; that run keeps its record and blocks.
    if (request->taskIdentifier() == identifier)
        request->clearCompletionBlock();
    m_requestsRecord.erase(identifier);
}

void NetworkAgent::notify(const NetBaseRequestPtr &request, bool succeeded)
{
    request->toggleAccessoriesWillStopCallBack();
    if (succeeded)
        request->requestCompleteFilter();
    else
        request->requestFailedFilter();
    if (const auto delegate = request->delegate()) {
        if (succeeded)
            delegate->requestFinished(request);
        else
            delegate->requestFailed(request);
    }
    // A copy: the block may stop the request, which clears the stored one.
    if (const auto block = succeeded ? request->successCompletionBlock() : request->failureCompletionBlock())
        block(request);
    request->toggleAccessoriesDidStopCallBack();
}
