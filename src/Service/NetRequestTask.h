#pragma once

#include "Platform/Net/HTTPURLResponse.h"
#include "Platform/Net/URLRequest.h"

#include <QPointer>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

namespace platform {
class HTTPTransfer;
}

// The transfer behind a started request as the request framework reports it: an identifier, a state, the
// request as built and as sent (after redirections), and the answer's head. Readable from any thread;
// cancel() may be called from any thread, the transfer itself runs on the GUI thread.
class NetRequestTask : public std::enable_shared_from_this<NetRequestTask>
{
public:
    enum class State
    {
        Running = 0,
        Suspended = 1,
        Canceling = 2,
        Completed = 3
    };

    NetRequestTask(uint64_t identifier, const platform::URLRequest &request)
        : m_identifier(identifier), m_originalRequest(request), m_currentRequest(request)
    {}
    NetRequestTask(const NetRequestTask &) = delete;
    NetRequestTask &operator=(const NetRequestTask &) = delete;

    uint64_t taskIdentifier() const { return m_identifier; }
    State state() const { return m_state.load(); }
    QNetworkRequest::Priority priority() const { return m_originalRequest.priority(); }
    const platform::URLRequest &originalRequest() const { return m_originalRequest; }
    platform::URLRequest currentRequest() const;
    platform::HTTPURLResponsePtr response() const;

    // Stops the transfer; its completion then reports a cancellation. Nothing happens once it completed.
    void cancel();

private:
    friend class NetworkAgent;
    // GUI thread: the transfer has started, unless the task was cancelled first (then false).
    bool attach(platform::HTTPTransfer *transfer);
    void redirected(const QUrl &url);
    void complete(const platform::HTTPURLResponsePtr &response);

    const uint64_t m_identifier;
    const platform::URLRequest m_originalRequest;
    std::atomic<State> m_state{State::Running};
    mutable std::mutex m_lock;
    platform::URLRequest m_currentRequest;
    platform::HTTPURLResponsePtr m_response;
    QPointer<platform::HTTPTransfer> m_transfer; // GUI thread only
};

using NetRequestTaskPtr = std::shared_ptr<NetRequestTask>;
