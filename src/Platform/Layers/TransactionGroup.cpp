#include "Platform/Layers/TransactionGroup.h"

namespace platform {

void TransactionGroup::setCompletion(std::function<void()> completion)
{
    m_completion = std::move(completion);
}

void TransactionGroup::retainAnimation()
{
    ++m_pending;
}

void TransactionGroup::releaseAnimation()
{
    if (m_pending > 0)
        --m_pending;
    fireIfDone();
}

void TransactionGroup::commit()
{
    m_committed = true;
    fireIfDone();
}

void TransactionGroup::fireIfDone()
{
    if (!m_committed || m_pending > 0 || m_fired)
        return;
    m_fired = true;
    // Moved out first: the block may open a new transaction or drop the last reference to this group.
    auto completion = std::move(m_completion);
    m_completion = nullptr;
    if (completion)
        completion();
}

} // namespace platform
