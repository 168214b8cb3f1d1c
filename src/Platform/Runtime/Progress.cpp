#include "Platform/Runtime/Progress.h"

#include "Platform/Runtime/ProgressObserverRegistry.h"

namespace platform {

std::shared_ptr<Progress> Progress::create(std::int64_t totalUnitCount)
{
    return std::shared_ptr<Progress>(new Progress(totalUnitCount));
}

Progress::Progress(std::int64_t total)
    : m_total(total), m_observers(std::make_shared<ProgressObserverRegistry>())
{}

Progress::~Progress() = default;

Progress::Snapshot Progress::snapshotLocked() const
{
    Snapshot s{};
    s.total = m_total;
    s.completed = m_completed;
    s.indeterminate = m_total < 0 || m_completed < 0 || (m_total == 0 && m_completed == 0);
    s.fraction = (s.indeterminate || m_total == 0) ? 0.0 : double(m_completed) / double(m_total);
    s.finished = !s.indeterminate && m_completed >= m_total;
    s.cancellable = m_cancellable;
    s.cancelled = m_cancelled;
    return s;
}

void Progress::notifyChanges(const Snapshot &before, const Snapshot &after)
{
    auto notify = [this](Key key) {
        for (const auto &callback : m_observers->callbacksFor(int(key)))
            (*callback)();
    };
    if (before.total != after.total)
        notify(Key::TotalUnitCount);
    if (before.completed != after.completed)
        notify(Key::CompletedUnitCount);
    if (before.fraction != after.fraction)
        notify(Key::FractionCompleted);
    if (before.indeterminate != after.indeterminate)
        notify(Key::IsIndeterminate);
    if (before.finished != after.finished)
        notify(Key::IsFinished);
    if (before.cancellable != after.cancellable)
        notify(Key::IsCancellable);
    if (before.cancelled != after.cancelled)
        notify(Key::IsCancelled);
}

std::int64_t Progress::totalUnitCount() const
{
    std::lock_guard lock(m_mutex);
    return m_total;
}

void Progress::setTotalUnitCount(std::int64_t count)
{
    Snapshot before, after;
    {
        std::lock_guard lock(m_mutex);
        before = snapshotLocked();
        m_total = count;
        after = snapshotLocked();
    }
    notifyChanges(before, after);
}

std::int64_t Progress::completedUnitCount() const
{
    std::lock_guard lock(m_mutex);
    return m_completed;
}

void Progress::setCompletedUnitCount(std::int64_t count)
{
    Snapshot before, after;
    {
        std::lock_guard lock(m_mutex);
        before = snapshotLocked();
        m_completed = count;
        after = snapshotLocked();
    }
    notifyChanges(before, after);
}

double Progress::fractionCompleted() const
{
    std::lock_guard lock(m_mutex);
    return snapshotLocked().fraction;
}

bool Progress::isIndeterminate() const
{
    std::lock_guard lock(m_mutex);
    return snapshotLocked().indeterminate;
}

bool Progress::isFinished() const
{
    std::lock_guard lock(m_mutex);
    return snapshotLocked().finished;
}

bool Progress::isCancellable() const
{
    std::lock_guard lock(m_mutex);
    return m_cancellable;
}

void Progress::setCancellable(bool cancellable)
{
    Snapshot before, after;
    {
        std::lock_guard lock(m_mutex);
        before = snapshotLocked();
        m_cancellable = cancellable;
        after = snapshotLocked();
    }
    notifyChanges(before, after);
}

bool Progress::isCancelled() const
{
    std::lock_guard lock(m_mutex);
    return m_cancelled;
}

void Progress::cancel()
{
    Snapshot before, after;
    std::function<void()> handler;
    {
        std::lock_guard lock(m_mutex);
        if (m_cancelled)
            return;
        before = snapshotLocked();
        m_cancelled = true;
        after = snapshotLocked();
        handler = m_cancellationHandler;
    }
    if (handler)
        handler();
    notifyChanges(before, after);
}

void Progress::setCancellationHandler(std::function<void()> handler)
{
    std::lock_guard lock(m_mutex);
    m_cancellationHandler = std::move(handler);
}

std::unique_ptr<ProgressObservation> Progress::observe(Key key, std::function<void()> callback)
{
    const std::uint64_t id = m_observers->add(int(key), std::move(callback));
    return std::unique_ptr<ProgressObservation>(new ProgressObservation(m_observers, id));
}

} // namespace platform
