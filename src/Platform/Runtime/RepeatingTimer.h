#pragma once

#include <QObject>
#include <functional>
#include <memory>

class QTimer;

namespace platform {

// A repeating timer on the main run loop. The owner holds it by shared pointer; the tick callback gets the
// timer so it can invalidate itself.
class RepeatingTimer : public std::enable_shared_from_this<RepeatingTimer>
{
public:
    using Tick = std::function<void(RepeatingTimer &)>;

    // Must be called on the main thread; the first tick comes one interval from now.
    static std::shared_ptr<RepeatingTimer> schedule(double intervalSeconds, Tick tick);
    ~RepeatingTimer();

    void invalidate();
    bool isValid() const;
    double interval() const { return m_interval; }
    // Runs one tick now, as the run loop would.
    void fire();

private:
    RepeatingTimer(double interval, Tick tick);

    double m_interval;
    Tick m_tick;
    std::unique_ptr<QTimer> m_timer;
};

} // namespace platform
