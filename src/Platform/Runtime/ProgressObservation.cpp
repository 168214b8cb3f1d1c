#include "Platform/Runtime/ProgressObservation.h"

#include "Platform/Runtime/ProgressObserverRegistry.h"

namespace platform {

ProgressObservation::ProgressObservation(std::weak_ptr<ProgressObserverRegistry> registry, std::uint64_t id)
    : m_registry(std::move(registry)), m_id(id)
{}

ProgressObservation::~ProgressObservation()
{
    if (auto registry = m_registry.lock())
        registry->remove(m_id);
}

} // namespace platform
