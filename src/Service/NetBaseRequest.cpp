#include "Service/NetBaseRequest.h"

#include "Platform/Net/HTTPTransfer.h"
#include "Service/NetRequestAccessory.h"
#include "Service/NetRequestDelegate.h"
#include "Service/NetworkAgent.h"

#include <QThreadPool>
#include <utility>

using namespace platform;

NetBaseRequest::~NetBaseRequest()
{
    // A decoded catalog takes tens of milliseconds to free, and whoever lets go of a request last may be on
    // the GUI thread: the answer goes on a worker.
    if (QThreadPool *pool = QThreadPool::globalInstance(); pool && (m_responseObject || m_responseJSONObject))
        pool->start([object = std::move(m_responseObject), json = std::move(m_responseJSONObject)] {});
}

QNetworkReply *NetBaseRequest::requestTask() const
{
    return m_transfer ? m_transfer->reply() : nullptr;
}

void NetBaseRequest::beginTask(uint64_t identifier, const QNetworkRequest &original)
{
    m_taskIdentifier = identifier;
    m_taskState = TaskState::Running;
    m_originalRequest = original;
    m_currentUrl = QUrl();
    m_statusCode = 0;
    m_responseHeaders.clear();
}

platform::HTTPTransfer *NetBaseRequest::transfer() const
{
    return m_transfer;
}

void NetBaseRequest::setTransfer(platform::HTTPTransfer *transfer)
{
    m_transfer = transfer;
}

void NetBaseRequest::setResponseHead(int statusCode, const QList<QNetworkReply::RawHeaderPair> &headers,
                                     const QUrl &url)
{
    m_statusCode = statusCode;
    m_responseHeaders = headers;
    m_currentUrl = url;
}

std::optional<QNetworkRequest> NetBaseRequest::currentRequest() const
{
    std::optional<QNetworkRequest> current = m_originalRequest;
    if (current && m_currentUrl.isValid())
        current->setUrl(m_currentUrl);
    return current;
}

QByteArray NetBaseRequest::responseHeader(const QByteArray &field) const
{
    for (const auto &[name, value] : m_responseHeaders)
        if (name.compare(field, Qt::CaseInsensitive) == 0)
            return value;
    return {};
}

void NetBaseRequest::clearCompletionBlock()
{
    // Moved out before they are destroyed: a block's captures may own this very request.
    const CompletionBlock success = std::exchange(m_successCompletionBlock, nullptr);
    const CompletionBlock failure = std::exchange(m_failureCompletionBlock, nullptr);
}

void NetBaseRequest::addAccessory(const std::shared_ptr<NetRequestAccessory> &accessory)
{
    if (accessory)
        m_accessories.push_back(accessory);
}

void NetBaseRequest::startWithCompletionBlockWithSuccess(CompletionBlock success, CompletionBlock failure)
{
    setCompletionBlockWithSuccess(std::move(success), std::move(failure));
    start();
}

void NetBaseRequest::start()
{
    toggleAccessoriesWillStartCallBack();
    NetworkAgent::sharedAgent().addRequest(shared_from_this());
}

void NetBaseRequest::stop()
{
    const auto self = shared_from_this();
    toggleAccessoriesWillStopCallBack();
    setDelegate({});
    NetworkAgent::sharedAgent().cancelRequest(self);
    toggleAccessoriesDidStopCallBack();
}

bool NetBaseRequest::statusCodeValidator() const
{
    const int code = responseStatusCode();
    return code >= 200 && code <= 299;
}

void NetBaseRequest::toggleAccessoriesWillStartCallBack()
{
    const auto self = shared_from_this();
    for (const auto &accessory : m_accessories)
        accessory->requestWillStart(self);
}

void NetBaseRequest::toggleAccessoriesWillStopCallBack()
{
    const auto self = shared_from_this();
    for (const auto &accessory : m_accessories)
        accessory->requestWillStop(self);
}

void NetBaseRequest::toggleAccessoriesDidStopCallBack()
{
    const auto self = shared_from_this();
    for (const auto &accessory : m_accessories)
        accessory->requestDidStop(self);
}
