#include "Service/NetBaseRequest.h"

#include "Platform/Net/HTTPTransfer.h"
#include "Service/NetRequestAccessory.h"
#include "Service/NetRequestDelegate.h"
#include "Service/NetworkAgent.h"

using namespace platform;

QNetworkReply *NetBaseRequest::requestTask() const
{
    return m_transfer ? m_transfer->reply() : nullptr;
}

std::optional<QNetworkRequest> NetBaseRequest::originalRequest() const
{
    std::lock_guard guard(m_taskLock);
    return m_originalRequest;
}

std::optional<QNetworkRequest> NetBaseRequest::currentRequest() const
{
    std::lock_guard guard(m_taskLock);
    std::optional<QNetworkRequest> current = m_originalRequest;
    if (current && m_currentUrl.isValid())
        current->setUrl(m_currentUrl);
    return current;
}

int NetBaseRequest::responseStatusCode() const
{
    std::lock_guard guard(m_taskLock);
    return m_statusCode;
}

QList<QNetworkReply::RawHeaderPair> NetBaseRequest::responseHeaders() const
{
    std::lock_guard guard(m_taskLock);
    return m_responseHeaders;
}

QByteArray NetBaseRequest::responseHeader(const QByteArray &field) const
{
    std::lock_guard guard(m_taskLock);
    for (const auto &[name, value] : m_responseHeaders)
        if (name.compare(field, Qt::CaseInsensitive) == 0)
            return value;
    return {};
}

std::shared_ptr<NetRequestDelegate> NetBaseRequest::delegate() const
{
    std::lock_guard guard(m_blockLock);
    return m_delegate.lock();
}

void NetBaseRequest::setDelegate(const std::weak_ptr<NetRequestDelegate> &delegate)
{
    std::lock_guard guard(m_blockLock);
    m_delegate = delegate;
}

NetBaseRequest::CompletionBlock NetBaseRequest::successCompletionBlock() const
{
    std::lock_guard guard(m_blockLock);
    return m_successCompletionBlock;
}

void NetBaseRequest::setSuccessCompletionBlock(CompletionBlock block)
{
    std::lock_guard guard(m_blockLock);
    m_successCompletionBlock = std::move(block);
}

NetBaseRequest::CompletionBlock NetBaseRequest::failureCompletionBlock() const
{
    std::lock_guard guard(m_blockLock);
    return m_failureCompletionBlock;
}

void NetBaseRequest::setFailureCompletionBlock(CompletionBlock block)
{
    std::lock_guard guard(m_blockLock);
    m_failureCompletionBlock = std::move(block);
}

void NetBaseRequest::setCompletionBlockWithSuccess(CompletionBlock success, CompletionBlock failure)
{
    std::lock_guard guard(m_blockLock);
    m_successCompletionBlock = std::move(success);
    m_failureCompletionBlock = std::move(failure);
}

void NetBaseRequest::clearCompletionBlock()
{
    // Swap out under the lock, destroy outside it: a block's captures may own this very request.
    CompletionBlock success;
    CompletionBlock failure;
    {
        std::lock_guard guard(m_blockLock);
        success.swap(m_successCompletionBlock);
        failure.swap(m_failureCompletionBlock);
    }
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
