#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <mutex>

namespace platform {

// The progress of a task: units of work done out of a total, and whether it can be and was cancelled. Any
// thread may change it; each value that really changed emits its signal on the changing thread, after the
// change, so a receiver on another thread hears of it queued. Held by shared pointer.
class Progress : public QObject
{
    Q_OBJECT
    Q_PROPERTY(qint64 totalUnitCount READ totalUnitCount WRITE setTotalUnitCount NOTIFY totalUnitCountChanged)
    Q_PROPERTY(qint64 completedUnitCount READ completedUnitCount WRITE setCompletedUnitCount NOTIFY
                   completedUnitCountChanged)
    Q_PROPERTY(double fractionCompleted READ fractionCompleted NOTIFY fractionCompletedChanged)
    Q_PROPERTY(bool indeterminate READ isIndeterminate NOTIFY indeterminateChanged)
    Q_PROPERTY(bool finished READ isFinished NOTIFY finishedChanged)
    Q_PROPERTY(bool cancellable READ isCancellable WRITE setCancellable NOTIFY cancellableChanged)
    Q_PROPERTY(bool cancelled READ isCancelled NOTIFY cancelledChanged)

public:
    // A total below zero means the amount of work is not known yet.
    static std::shared_ptr<Progress> create(qint64 totalUnitCount = -1);

    qint64 totalUnitCount() const;
    void setTotalUnitCount(qint64 count);
    qint64 completedUnitCount() const;
    void setCompletedUnitCount(qint64 count);
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

signals:
    void totalUnitCountChanged();
    void completedUnitCountChanged();
    void fractionCompletedChanged();
    void indeterminateChanged();
    void finishedChanged();
    void cancellableChanged();
    void cancelledChanged();

private:
    explicit Progress(qint64 total) : m_total(total) {}

    struct Values
    {
        qint64 total;
        qint64 completed;
        bool cancellable;
        bool cancelled;
        bool indeterminate() const { return total < 0 || completed < 0 || (total == 0 && completed == 0); }
        double fraction() const
        {
            return indeterminate() || total == 0 ? 0.0 : double(completed) / double(total);
        }
        bool finished() const { return !indeterminate() && completed >= total; }
    };
    // Applies the change under the lock, then emits what it changed.
    void change(const std::function<void(Values &)> &apply);

    mutable std::mutex m_mutex;
    qint64 m_total;
    qint64 m_completed = 0;
    bool m_cancellable = true;
    bool m_cancelled = false;
    std::function<void()> m_cancellationHandler;
};

using ProgressPtr = std::shared_ptr<Progress>;

} // namespace platform
