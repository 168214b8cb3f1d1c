#include "Platform/Runtime/RepeatingTimer.h"

#include <QTimer>
#include <cmath>

namespace platform {

RepeatingTimer::RepeatingTimer(double interval, Tick tick) : m_interval(interval), m_tick(std::move(tick)) {}

RepeatingTimer::~RepeatingTimer() = default;

std::shared_ptr<RepeatingTimer> RepeatingTimer::schedule(double intervalSeconds, Tick tick)
{
    std::shared_ptr<RepeatingTimer> timer(new RepeatingTimer(intervalSeconds, std::move(tick)));
    timer->m_timer = std::make_unique<QTimer>();
    timer->m_timer->setTimerType(Qt::PreciseTimer);
    timer->m_timer->setInterval(std::max(1, static_cast<int>(std::lround(intervalSeconds * 1000.0))));
    std::weak_ptr<RepeatingTimer> weak = timer;
    QObject::connect(timer->m_timer.get(), &QTimer::timeout, [weak] {
        // Keep the timer alive while its tick runs, even if the tick drops the owner's reference.
        if (auto self = weak.lock())
            self->fire();
    });
    timer->m_timer->start();
    return timer;
}

void RepeatingTimer::invalidate()
{
    if (m_timer)
        m_timer->stop();
}

bool RepeatingTimer::isValid() const
{
    return m_timer && m_timer->isActive();
}

void RepeatingTimer::fire()
{
    if (isValid() && m_tick)
        m_tick(*this);
}

} // namespace platform
