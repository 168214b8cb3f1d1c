#pragma once

#include "Platform/Layers/TimingFunction.h"

#include <QString>
#include <QVariant>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

namespace platform {

class AnimationListener;
class TransactionGroup;

// An animation of one layer property (its key path). A layer keeps its own copy of every animation added
// to it, so one template can be added again and again; the copy carries the run-time state.
class Animation
{
public:
    enum class FillMode
    {
        Removed,
        Forwards,
        Backwards,
        Both
    };
    enum class ValueFunction
    {
        None,
        // The animated number is an angle in radians; the property receives a rotation about z.
        RotateZ
    };
    static constexpr double repeatForever = std::numeric_limits<double>::infinity();

    virtual ~Animation();
    virtual std::shared_ptr<Animation> clone() const = 0;

    QString keyPath() const { return m_keyPath; }
    void setKeyPath(const QString &keyPath) { m_keyPath = keyPath; }
    // 0 takes the enclosing transaction's duration when the animation is added.
    double duration() const { return m_duration; }
    void setDuration(double seconds) { m_duration = seconds; }
    // Seconds after the moment the animation is added.
    double beginTime() const { return m_beginTime; }
    void setBeginTime(double seconds) { m_beginTime = seconds; }
    // 0 plays once; fractions play part of the last pass; repeatForever never ends.
    double repeatCount() const { return m_repeatCount; }
    void setRepeatCount(double count) { m_repeatCount = count; }
    // None means linear pacing (or the transaction's timing function, when one is set as it is added).
    std::optional<TimingFunction> timingFunction() const { return m_timing; }
    void setTimingFunction(std::optional<TimingFunction> function) { m_timing = function; }
    FillMode fillMode() const { return m_fillMode; }
    void setFillMode(FillMode mode) { m_fillMode = mode; }
    bool isRemovedOnCompletion() const { return m_removedOnCompletion; }
    void setRemovedOnCompletion(bool removed) { m_removedOnCompletion = removed; }
    ValueFunction valueFunction() const { return m_valueFunction; }
    void setValueFunction(ValueFunction function) { m_valueFunction = function; }
    std::shared_ptr<AnimationListener> delegate() const { return m_delegate; }
    void setDelegate(std::shared_ptr<AnimationListener> delegate) { m_delegate = std::move(delegate); }

    // Duration times passes; infinite when repeating for ever.
    double activeDuration() const;
    bool isInfinite() const;

    // Run-time state of a copy that was added to a layer.
    // The clock time at which the animation starts; none until its layer is in a host's tree.
    std::optional<double> startTime() const { return m_start; }
    std::optional<double> endTime() const;
    bool hasStopped() const { return m_stopped; }

    // The value the animation gives its property at this clock time, given the value beneath it; none while
    // it does not apply (before its start without backwards fill, after its end without forwards fill).
    std::optional<QVariant> sample(double time, const QVariant &underlying) const;

protected:
    Animation();
    // Copies the settings, never the run-time state.
    Animation(const Animation &other);
    Animation &operator=(const Animation &) = delete;

    // progress: the paced fraction of the current pass, 0…1.
    virtual QVariant valueAt(double progress, const QVariant &underlying) const = 0;

private:
    friend class Layer;

    QString m_keyPath;
    double m_duration = 0.0;
    double m_beginTime = 0.0;
    double m_repeatCount = 0.0;
    std::optional<TimingFunction> m_timing;
    FillMode m_fillMode = FillMode::Removed;
    bool m_removedOnCompletion = true;
    ValueFunction m_valueFunction = ValueFunction::None;
    std::shared_ptr<AnimationListener> m_delegate;

    std::optional<double> m_start;
    bool m_started = false;
    bool m_stopped = false;
    std::vector<std::shared_ptr<TransactionGroup>> m_groups;
};

using AnimationPtr = std::shared_ptr<Animation>;

} // namespace platform
