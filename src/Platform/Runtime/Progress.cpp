#include "Platform/Runtime/Progress.h"

namespace platform {

std::shared_ptr<Progress> Progress::create(qint64 totalUnitCount)
{
    return std::shared_ptr<Progress>(new Progress(totalUnitCount));
}

void Progress::change(const std::function<void(Values &)> &apply)
{
    Values before{}, after{};
    {
        std::lock_guard lock(m_mutex);
        before = {m_total, m_completed, m_cancellable, m_cancelled};
        after = before;
        apply(after);
        m_total = after.total;
        m_completed = after.completed;
        m_cancellable = after.cancellable;
        m_cancelled = after.cancelled;
    }
    // Outside the lock: a receiver may read the object again.
    if (before.total != after.total)
        emit totalUnitCountChanged();
    if (before.completed != after.completed)
        emit completedUnitCountChanged();
    if (before.fraction() != after.fraction())
        emit fractionCompletedChanged();
    if (before.indeterminate() != after.indeterminate())
        emit indeterminateChanged();
    if (before.finished() != after.finished())
        emit finishedChanged();
    if (before.cancellable != after.cancellable)
        emit cancellableChanged();
    if (before.cancelled != after.cancelled)
        emit cancelledChanged();
}

qint64 Progress::totalUnitCount() const
{
    std::lock_guard lock(m_mutex);
    return m_total;
}

void Progress::setTotalUnitCount(qint64 count)
{
    change([count](Values &values) { values.total = count; });
}

qint64 Progress::completedUnitCount() const
{
    std::lock_guard lock(m_mutex);
    return m_completed;
}

void Progress::setCompletedUnitCount(qint64 count)
{
    change([count](Values &values) { values.completed = count; });
}

double Progress::fractionCompleted() const
{
    std::lock_guard lock(m_mutex);
    return Values{m_total, m_completed, m_cancellable, m_cancelled}.fraction();
}

bool Progress::isIndeterminate() const
{
    std::lock_guard lock(m_mutex);
    return Values{m_total, m_completed, m_cancellable, m_cancelled}.indeterminate();
}

bool Progress::isFinished() const
{
    std::lock_guard lock(m_mutex);
    return Values{m_total, m_completed, m_cancellable, m_cancelled}.finished();
}

bool Progress::isCancellable() const
{
    std::lock_guard lock(m_mutex);
    return m_cancellable;
}

void Progress::setCancellable(bool cancellable)
{
    change([cancellable](Values &values) { values.cancellable = cancellable; });
}

bool Progress::isCancelled() const
{
    std::lock_guard lock(m_mutex);
    return m_cancelled;
}

void Progress::cancel()
{
    std::function<void()> handler;
    {
        std::lock_guard lock(m_mutex);
        if (m_cancelled)
            return;
        m_cancelled = true;
        handler = m_cancellationHandler;
    }
    if (handler)
        handler();
    emit cancelledChanged();
}

void Progress::setCancellationHandler(std::function<void()> handler)
{
    std::lock_guard lock(m_mutex);
    m_cancellationHandler = std::move(handler);
}

} // namespace platform
