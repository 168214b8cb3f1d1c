#include "Platform/Runtime/ProgressObserverRegistry.h"

#include <algorithm>

namespace platform {

std::uint64_t ProgressObserverRegistry::add(int key, Callback callback)
{
    std::lock_guard lock(m_mutex);
    const std::uint64_t id = m_nextId++;
    m_entries.push_back({id, key, std::make_shared<Callback>(std::move(callback))});
    return id;
}

void ProgressObserverRegistry::remove(std::uint64_t id)
{
    std::lock_guard lock(m_mutex);
    m_entries.erase(
        std::remove_if(m_entries.begin(), m_entries.end(), [id](const Entry &e) { return e.id == id; }),
        m_entries.end());
}

std::vector<std::shared_ptr<ProgressObserverRegistry::Callback>>
ProgressObserverRegistry::callbacksFor(int key) const
{
    std::lock_guard lock(m_mutex);
    std::vector<std::shared_ptr<Callback>> result;
    for (const Entry &entry : m_entries) {
        if (entry.key == key)
            result.push_back(entry.callback);
    }
    return result;
}

} // namespace platform
