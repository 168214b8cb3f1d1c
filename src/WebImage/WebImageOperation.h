#pragma once

#include <functional>
#include <memory>

// One caller's request for a picture. Main thread only.
class WebImageOperation
{
public:
    WebImageOperation() = default;
    WebImageOperation(const WebImageOperation &) = delete;
    WebImageOperation &operator=(const WebImageOperation &) = delete;

    // After this the completion is never called. The fetch itself stops once nobody else waits for it.
    void cancel();
    bool isCancelled() const { return m_cancelled; }
    // The completion has been called.
    bool isFinished() const { return m_finished; }

    // For the manager: what cancelling undoes, and the mark that the completion has run.
    void setCancelHandler(std::function<void()> handler) { m_cancelHandler = std::move(handler); }
    void finish();

private:
    std::function<void()> m_cancelHandler;
    bool m_cancelled = false;
    bool m_finished = false;
};

using WebImageOperationPtr = std::shared_ptr<WebImageOperation>;
