#pragma once

#include "Platform/Runtime/ProgressObservation.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

namespace platform {

class ProgressObserverRegistry;

// The progress of a task: units of work done out of a total, and whether it can be and was cancelled.
// Any thread may change it; observers are called on the changing thread, after the change, and only when
// the observed value really changed. Held by shared pointer.
class Progress
{
public:
    enum class Key
    {
        TotalUnitCount,
        CompletedUnitCount,
        FractionCompleted,
        IsIndeterminate,
        IsFinished,
        IsCancellable,
        IsCancelled
    };

    // A total below zero means the amount of work is not known yet.
    static std::shared_ptr<Progress> create(std::int64_t totalUnitCount = -1);
    ~Progress();
    Progress(const Progress &) = delete;
    Progress &operator=(const Progress &) = delete;

    std::int64_t totalUnitCount() const;
    void setTotalUnitCount(std::int64_t count);
    std::int64_t completedUnitCount() const;
    void setCompletedUnitCount(std::int64_t count);

    // completed / total, not capped; 0 while indeterminate.
    double fractionCompleted() const;
    // A negative count, or no work done out of none.
    bool isIndeterminate() const;
    // Some work was expected and all of it is done.
    bool isFinished() const;

    bool isCancellable() const;
    void setCancellable(bool cancellable);
    bool isCancelled() const;
    // Marks the task cancelled and runs the cancellation handler once, on the calling thread.
    void cancel();
    void setCancellationHandler(std::function<void()> handler);

    [[nodiscard]] std::unique_ptr<ProgressObservation> observe(Key key, std::function<void()> callback);

private:
    explicit Progress(std::int64_t total);

    struct Snapshot
    {
        std::int64_t total;
        std::int64_t completed;
        double fraction;
        bool indeterminate;
        bool finished;
        bool cancellable;
        bool cancelled;
    };
    Snapshot snapshotLocked() const;
    void notifyChanges(const Snapshot &before, const Snapshot &after);

    mutable std::mutex m_mutex;
    std::int64_t m_total;
    std::int64_t m_completed = 0;
    bool m_cancellable = true;
    bool m_cancelled = false;
    std::function<void()> m_cancellationHandler;
    std::shared_ptr<ProgressObserverRegistry> m_observers;
};

using ProgressPtr = std::shared_ptr<Progress>;

} // namespace platform
