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
#include <vector>

using namespace platform;

const QString NetworkAgent::NetRequestValidationErrorDomain =
    QStringLiteral("app.bootdrive.request.validation");

namespace {

QString methodText(int64_t method)
{
    switch (method) {
    case NetBaseRequest::RequestMethodGET:
        return QStringLiteral("GET");
    case NetBaseRequest::RequestMethodPOST:
        return QStringLiteral("POST");
    case NetBaseRequest::RequestMethodHEAD:
        return QStringLiteral("HEAD");
    case NetBaseRequest::RequestMethodPUT:
        return QStringLiteral("PUT");
    case NetBaseRequest::RequestMethodDELETE:
        return QStringLiteral("DELETE");
    case NetBaseRequest::RequestMethodPATCH:
        return QStringLiteral("PATCH");
    default:
        return {};
    }
}

// The XML step hands the caller the bytes to parse; it only checks that they are declared as XML.
ObjectPtr xmlResponseObject(const HTTPURLResponsePtr &response, const DataPtr &data,
                            std::optional<Error> *error)
{
    const QString type = response ? response->mimeType() : QString();
    if (data && !data->bytes().isEmpty() && type != QLatin1String("application/xml") &&
        type != QLatin1String("text/xml")) {
        *error = Error{JSONResponseSerializer::ErrorDomain, JSONResponseSerializer::CannotDecodeContentData,
                       QStringLiteral("Request failed: unacceptable content-type: %1")
                           .arg(type.isEmpty() ? QStringLiteral("(null)") : type)};
        return {};
    }
    return data;
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
    for (int code = 100; code < 600; ++code)
        m_allStatusCodes.insert(code);
    m_jsonResponseSerializer.setAcceptableStatusCodes(m_allStatusCodes);
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

std::optional<URLRequest> NetworkAgent::httpRequestForRequest(const NetBaseRequestPtr &request,
                                                              std::optional<Error> *error) const
{
    const QString method = methodText(request->requestMethod());
    if (method.isEmpty()) {
        // No transfer can be made for an unknown method; fail the request instead of leaving it hanging.
        *error = Error{HTTPRequestSerializer::ErrorDomain, -1,
                       QStringLiteral("Unsupported request method %1").arg(request->requestMethod())};
        return std::nullopt;
    }

    HTTPRequestSerializer serializer(request->requestSerializerType() ==
                                             NetBaseRequest::RequestSerializerTypeJSON
                                         ? HTTPRequestSerializer::BodyKind::JSON
                                         : HTTPRequestSerializer::BodyKind::Form);
    serializer.setTimeoutInterval(request->requestTimeoutInterval());
    serializer.setAllowsCellularAccess(request->allowsCellularAccess());
    const QStringList authorization = request->requestAuthorizationHeaderFieldArray();
    if (!authorization.isEmpty())
        serializer.setAuthorizationHeaderFieldWithUsername(authorization.first(), authorization.last());
    for (const auto &[field, value] : request->requestHeaderFieldValueDictionary())
        serializer.setValueForHTTPHeaderField(value, field);

    Error buildError;
    std::optional<URLRequest> httpRequest = serializer.requestWithMethod(
        method, buildRequestUrl(*request), request->requestArgument(), &buildError);
    if (!httpRequest)
        *error = buildError;
    return httpRequest;
}

void NetworkAgent::addRequest(const NetBaseRequestPtr &request)
{
    if (!request)
        return;
    std::optional<Error> buildError;
    std::optional<URLRequest> httpRequest = request->buildCustomUrlRequest();
    if (!httpRequest)
        httpRequest = httpRequestForRequest(request, &buildError);
    if (!httpRequest) {
        request->setRequestTask(nullptr);
        requestDidFail(request,
                       buildError.value_or(Error{HTTPRequestSerializer::ErrorDomain, -1,
                                                 QStringLiteral("The request could not be built.")}));
        return;
    }
    httpRequest->setPriority(transferPriority(request->requestPriority()));
    const auto task = std::make_shared<NetRequestTask>(m_nextIdentifier.fetch_add(1), *httpRequest);
    request->setRequestTask(task);
    addRequestToRecord(request);
    if (Dispatch::isMainThread())
        startTransfer(task);
    else
        Dispatch::main([this, task] { startTransfer(task); });
}

void NetworkAgent::startTransfer(const NetRequestTaskPtr &task)
{
    if (task->state() != NetRequestTask::State::Running) {
        task->complete({}); // cancelled before it could start; nobody waits for its answer
        return;
    }
    auto *transfer =
        HTTPTransfer::start(*m_network, task->currentRequest(), transferLimits(),
                            [this, task](const HTTPURLResponsePtr &response, const QByteArray &body,
                                         const std::optional<Error> &error) {
                                task->complete(response);
                                const DataPtr data = response && !error ? Data::make(body) : DataPtr();
                                Dispatch::global([this, task, response, data, error] {
                                    handleRequestResult(task, response, data, error);
                                });
                            });
    transfer->setRedirectHandler([task](const QUrl &url) { task->redirected(url); });
    if (!task->attach(transfer))
        transfer->cancel();
}

void NetworkAgent::cancelRequest(const NetBaseRequestPtr &request)
{
    if (!request)
        return;
    if (const NetRequestTaskPtr task = request->requestTask())
        task->cancel();
    removeRequestFromRecord(request);
    request->clearCompletionBlock();
}

void NetworkAgent::cancelAllRequests()
{
    std::vector<uint64_t> keys;
    {
        std::lock_guard guard(m_lock);
        for (const auto &entry : m_requestsRecord)
            keys.push_back(entry.first);
    }
    for (uint64_t key : keys) {
        NetBaseRequestPtr request;
        {
            std::lock_guard guard(m_lock);
            auto it = m_requestsRecord.find(key);
            if (it != m_requestsRecord.end())
                request = it->second;
        }
        if (request)
            request->stop();
    }
}

size_t NetworkAgent::runningRequestCount() const
{
    std::lock_guard guard(m_lock);
    return m_requestsRecord.size();
}

void NetworkAgent::handleRequestResult(const NetRequestTaskPtr &task, const HTTPURLResponsePtr &response,
                                       const DataPtr &data, const std::optional<Error> &transportError)
{
    NetBaseRequestPtr request;
    {
        std::lock_guard guard(m_lock);
        auto it = m_requestsRecord.find(task->taskIdentifier());
        if (it != m_requestsRecord.end())
            request = it->second;
    }
    if (!request)
        return; // cancelled

    std::optional<Error> serializationError;
    request->setResponseObject(data);
    if (data) {
        request->setResponseData(data);
        request->setResponseString(
            TextEncoding::decode(data->bytes(), NetworkUtils::stringEncodingWithRequest(*request))
                .value_or(QString()));
        switch (request->responseSerializerType()) {
        case NetBaseRequest::ResponseSerializerTypeJSON: {
            ObjectPtr json = m_jsonResponseSerializer.responseObjectForResponse(response, data->bytes(),
                                                                                &serializationError);
            request->setResponseObject(json);
            request->setResponseJSONObject(json);
            break;
        }
        case NetBaseRequest::ResponseSerializerTypeXMLParser:
            request->setResponseObject(xmlResponseObject(response, data, &serializationError));
            break;
        default:
            break;
        }
    }

    if (transportError) {
        requestDidFail(request, *transportError);
    } else if (serializationError) {
        requestDidFail(request, *serializationError);
    } else {
        std::optional<Error> validationError;
        if (validateResult(request, &validationError))
            requestDidSucceed(request);
        else
            requestDidFail(request, *validationError);
    }

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
    const ObjectPtr json = request->responseJSONObject();
    const ObjectPtr validator = request->jsonValidator();
    if (json && validator && !NetworkUtils::validateJSON(json, validator)) {
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

void NetworkAgent::addRequestToRecord(const NetBaseRequestPtr &request)
{
    std::lock_guard guard(m_lock);
    m_requestsRecord[request->requestTask()->taskIdentifier()] = request;
}

void NetworkAgent::removeRequestFromRecord(const NetBaseRequestPtr &request)
{
    const NetRequestTaskPtr task = request->requestTask();
    if (!task)
        return;
    NetBaseRequestPtr removed; // released outside the lock
    std::lock_guard guard(m_lock);
    auto it = m_requestsRecord.find(task->taskIdentifier());
    if (it != m_requestsRecord.end() && it->second == request) {
        removed = std::move(it->second);
        m_requestsRecord.erase(it);
    }
}
