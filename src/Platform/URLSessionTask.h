#pragma once

#include "Platform/Data.h"
#include "Platform/Error.h"
#include "Platform/HTTPURLResponse.h"
#include "Platform/URLRequest.h"

#include <QPointer>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;

namespace platform {

// One data transfer of a URL session. Created suspended; resume() starts it on the GUI thread, where the
// network access manager lives; the completion handler runs once, on the session's delivery queue.
class URLSessionTask : public std::enable_shared_from_this<URLSessionTask>
{
public:
    enum class State
    {
        Running = 0,
        Suspended = 1,
        Canceling = 2,
        Completed = 3
    };

    static constexpr float LowPriority = 0.25f;
    static constexpr float DefaultPriority = 0.5f;
    static constexpr float HighPriority = 0.75f;

    // Given the task, the HTTP head (nothing when no answer arrived), the body bytes (nothing without an
    // answer) and the failure, if any.
    using CompletionHandler =
        std::function<void(const std::shared_ptr<URLSessionTask> &task, const HTTPURLResponsePtr &response,
                           const DataPtr &data, const std::optional<Error> &error)>;
    using Delivery = std::function<void(std::function<void()>)>;

    uint64_t taskIdentifier() const { return m_identifier; }
    State state() const { return m_state.load(); }
    float priority() const { return m_priority.load(); }
    // 0 (lowest) to 1 (highest); takes effect when the transfer starts.
    void setPriority(float priority);

    URLRequest originalRequest() const;
    // The request as sent, after any redirection.
    URLRequest currentRequest() const;
    HTTPURLResponsePtr response() const;
    std::optional<Error> error() const;

    // Both may be called from any thread.
    void resume();
    void cancel();

private:
    friend class URLSession;
    URLSessionTask(uint64_t identifier, const URLRequest &request, QNetworkAccessManager *manager,
                   Delivery delivery, CompletionHandler handler);

    void startOnMain();
    void cancelOnMain();
    void finished(QNetworkReply *reply);
    void complete(const HTTPURLResponsePtr &response, const DataPtr &data, const std::optional<Error> &error);

    const uint64_t m_identifier;
    const URLRequest m_originalRequest;
    QPointer<QNetworkAccessManager> m_manager;
    Delivery m_delivery;

    std::atomic<State> m_state{State::Suspended};
    std::atomic<float> m_priority{DefaultPriority};
    mutable std::mutex m_lock;
    URLRequest m_currentRequest;
    HTTPURLResponsePtr m_response;
    std::optional<Error> m_error;
    CompletionHandler m_handler; // cleared once called
    bool m_completed = false;
    bool m_timedOut = false;

    QPointer<QNetworkReply> m_reply; // GUI thread only
};

using URLSessionTaskPtr = std::shared_ptr<URLSessionTask>;

} // namespace platform
