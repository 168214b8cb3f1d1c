#pragma once

#include <functional>

namespace platform {

// The animations one transaction added, counted until they have all stopped; then its completion runs once.
class TransactionGroup
{
public:
    void setCompletion(std::function<void()> completion);
    void retainAnimation();
    void releaseAnimation();
    void commit();
    bool isCommitted() const { return m_committed; }
    int pendingAnimations() const { return m_pending; }

private:
    void fireIfDone();

    int m_pending = 0;
    bool m_committed = false;
    bool m_fired = false;
    std::function<void()> m_completion;
};

} // namespace platform
