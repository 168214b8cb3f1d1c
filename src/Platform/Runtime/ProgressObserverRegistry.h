#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace platform {

// The observers of one Progress, guarded for use from any thread.
class ProgressObserverRegistry
{
public:
    using Callback = std::function<void()>;

    std::uint64_t add(int key, Callback callback);
    void remove(std::uint64_t id);
    // The callbacks registered for the key now; called outside the lock.
    std::vector<std::shared_ptr<Callback>> callbacksFor(int key) const;

private:
    struct Entry
    {
        std::uint64_t id;
        int key;
        std::shared_ptr<Callback> callback;
    };

    mutable std::mutex m_mutex;
    std::uint64_t m_nextId = 1;
    std::vector<Entry> m_entries;
};

} // namespace platform
