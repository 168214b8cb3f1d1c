#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

namespace platform {

class Layer;

// The time base of one host's layer tree. It ticks (about 60 times a second) only while an animation runs
// on a visible layer; an animation that only has to end on a hidden layer wakes it once at its end time, and
// a tree at rest keeps no timer. In manual mode time stands still until advance() moves it, which is how
// tests and benchmarks step animations frame by frame.
class LayerClock : public QObject
{
    Q_OBJECT

public:
    explicit LayerClock(QObject *parent = nullptr);
    ~LayerClock() override;

    // Seconds on the system's monotonic clock; the time base of every clock that is not manual.
    static double systemTime();

    double now() const;
    bool isManual() const { return m_manual; }
    // Entering manual mode freezes the time at its current value.
    void setManual(bool manual);
    // Manual mode only: moves the time forward and runs one tick.
    void advance(double seconds);

    // A frame or wake-up timer is armed.
    bool isTicking() const { return m_timer.isActive(); }
    // An animation on a visible layer runs, so frames are wanted (in either mode).
    bool isAnimating() const { return m_animating; }
    quint64 tickCount() const { return m_ticks; }

    // Called when the painted picture changes because time moved.
    void setRepaintHandler(std::function<void()> handler) { m_repaint = std::move(handler); }

    // A layer of this tree got an animation.
    void track(const std::shared_ptr<Layer> &layer);
    // Visibility or the tree changed: decide again whether frames are needed.
    void reschedule();
    // Runs one tick at the current time.
    void tick();

private:
    void schedule(bool needsFrames, double nextDeadline);

    QTimer m_timer;
    bool m_manual = false;
    double m_manualTime = 0.0;
    bool m_animating = false;
    bool m_ticking = false;
    quint64 m_ticks = 0;
    std::vector<std::weak_ptr<Layer>> m_layers;
    std::function<void()> m_repaint;
};

} // namespace platform
