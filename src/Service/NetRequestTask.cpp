#include "Service/NetRequestTask.h"

#include "Platform/Net/HTTPTransfer.h"
#include "Platform/Runtime/Dispatch.h"

using namespace platform;

URLRequest NetRequestTask::currentRequest() const
{
    std::lock_guard guard(m_lock);
    return m_currentRequest;
}

HTTPURLResponsePtr NetRequestTask::response() const
{
    std::lock_guard guard(m_lock);
    return m_response;
}

void NetRequestTask::cancel()
{
    State expected = State::Running;
    if (!m_state.compare_exchange_strong(expected, State::Canceling))
        return;
    auto stopTransfer = [self = shared_from_this()] {
        if (self->m_transfer)
            self->m_transfer->cancel();
    };
    if (Dispatch::isMainThread())
        stopTransfer();
    else
        Dispatch::main(std::move(stopTransfer));
}

bool NetRequestTask::attach(HTTPTransfer *transfer)
{
    m_transfer = transfer;
    return m_state.load() == State::Running;
}

void NetRequestTask::redirected(const QUrl &url)
{
    std::lock_guard guard(m_lock);
    m_currentRequest.setUrl(url);
}

void NetRequestTask::complete(const HTTPURLResponsePtr &response)
{
    {
        std::lock_guard guard(m_lock);
        m_response = response;
    }
    m_transfer.clear();
    m_state = State::Completed;
}
