#include "WebImage/WebImageOperation.h"

#include <utility>

void WebImageOperation::cancel()
{
    if (m_cancelled || m_finished)
        return;
    m_cancelled = true;
    // Moved out first: the handler may drop the last reference to whatever owns this operation's caller.
    if (auto handler = std::exchange(m_cancelHandler, nullptr))
        handler();
}

void WebImageOperation::finish()
{
    m_finished = true;
    m_cancelHandler = nullptr;
}
