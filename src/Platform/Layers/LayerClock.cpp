#include "Platform/Layers/LayerClock.h"

#include "Platform/Layers/Layer.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>

namespace platform {

namespace {
constexpr int frameIntervalMs = 16;
}

LayerClock::LayerClock(QObject *parent) : QObject(parent)
{
    m_timer.setSingleShot(false);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &LayerClock::tick);
}

LayerClock::~LayerClock() = default;

double LayerClock::systemTime()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

double LayerClock::now() const
{
    return m_manual ? m_manualTime : systemTime();
}

void LayerClock::setManual(bool manual)
{
    if (manual == m_manual)
        return;
    if (manual)
        m_manualTime = systemTime();
    m_manual = manual;
    reschedule();
}

void LayerClock::advance(double seconds)
{
    if (!m_manual || !(seconds >= 0))
        return;
    m_manualTime += seconds;
    tick();
}

void LayerClock::track(const std::shared_ptr<Layer> &layer)
{
    const bool known = std::any_of(m_layers.begin(), m_layers.end(),
                                   [&](const std::weak_ptr<Layer> &w) { return w.lock() == layer; });
    if (!known)
        m_layers.push_back(layer);
    reschedule();
}

void LayerClock::reschedule()
{
    if (m_ticking)
        return;
    const double time = now();
    bool needsFrames = false;
    double deadline = std::numeric_limits<double>::infinity();
    for (const auto &weak : m_layers) {
        const auto layer = weak.lock();
        if (!layer || layer->clock() != this)
            continue;
        for (const auto &[key, animation] : layer->m_animations) {
            if (animation->hasStopped() || !animation->startTime())
                continue;
            const double start = *animation->startTime();
            const auto end = animation->endTime();
            const bool visible = layer->isEffectivelyVisible();
            if (visible && time >= start)
                needsFrames = true;
            else if (visible)
                deadline = std::min(deadline, start);
            else if (end)
                deadline = std::min(deadline, *end);
        }
    }
    schedule(needsFrames, deadline);
}

void LayerClock::schedule(bool needsFrames, double nextDeadline)
{
    m_animating = needsFrames;
    if (m_manual) {
        m_timer.stop();
        return;
    }
    if (needsFrames) {
        if (!m_timer.isActive() || m_timer.interval() != frameIntervalMs)
            m_timer.start(frameIntervalMs);
    } else if (std::isfinite(nextDeadline)) {
        const double wait = std::max(0.0, nextDeadline - now());
        m_timer.start(int(std::ceil(wait * 1000.0)));
    } else {
        m_timer.stop();
    }
}

void LayerClock::tick()
{
    ++m_ticks;
    const double time = now();
    Layer::TickResult result;
    m_ticking = true;
    std::vector<std::weak_ptr<Layer>> keep;
    const auto layers = m_layers;
    for (const auto &weak : layers) {
        const auto layer = weak.lock();
        if (!layer || layer->clock() != this)
            continue;
        if (layer->advanceAnimations(time, result))
            keep.push_back(layer);
    }
    m_layers = std::move(keep);
    m_ticking = false;

    if (result.repaint && m_repaint)
        m_repaint();
    // Delegates and completion blocks may add animations; they land in m_layers and reschedule below.
    for (const auto &notify : result.notifications)
        notify();
    reschedule();
}

} // namespace platform
