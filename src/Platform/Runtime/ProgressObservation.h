#pragma once

#include <cstdint>
#include <memory>

namespace platform {

class ProgressObserverRegistry;

// Keeps one observation of a Progress alive; destroying it ends the observation. A callback already
// running on another thread at that moment may still finish.
class ProgressObservation
{
public:
    ~ProgressObservation();
    ProgressObservation(const ProgressObservation &) = delete;
    ProgressObservation &operator=(const ProgressObservation &) = delete;

private:
    friend class Progress;
    ProgressObservation(std::weak_ptr<ProgressObserverRegistry> registry, std::uint64_t id);

    std::weak_ptr<ProgressObserverRegistry> m_registry;
    std::uint64_t m_id;
};

} // namespace platform
