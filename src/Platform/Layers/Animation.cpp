#include "Platform/Layers/Animation.h"

#include "Platform/Layers/AnimationListener.h"
#include "Platform/Layers/TransactionGroup.h"

#include <QTransform>
#include <cmath>

namespace platform {

Animation::Animation() = default;

Animation::Animation(const Animation &other)
    : m_keyPath(other.m_keyPath), m_duration(other.m_duration), m_beginTime(other.m_beginTime),
      m_repeatCount(other.m_repeatCount), m_timing(other.m_timing), m_fillMode(other.m_fillMode),
      m_removedOnCompletion(other.m_removedOnCompletion), m_valueFunction(other.m_valueFunction),
      m_delegate(other.m_delegate)
{}

Animation::~Animation() = default;

bool Animation::isInfinite() const
{
    return std::isinf(m_repeatCount) && m_repeatCount > 0;
}

double Animation::activeDuration() const
{
    if (isInfinite())
        return repeatForever;
    const double passes = m_repeatCount > 0 ? m_repeatCount : 1.0;
    return std::max(0.0, m_duration) * passes;
}

std::optional<double> Animation::endTime() const
{
    if (!m_start || isInfinite())
        return std::nullopt;
    return *m_start + activeDuration();
}

std::optional<QVariant> Animation::sample(double time, const QVariant &underlying) const
{
    if (!m_start)
        return std::nullopt;
    const double local = time - *m_start;
    const double duration = m_duration > 0 ? m_duration : 0.0;
    const bool fillsBackwards = m_fillMode == FillMode::Backwards || m_fillMode == FillMode::Both;
    const bool fillsForwards = m_fillMode == FillMode::Forwards || m_fillMode == FillMode::Both;

    double fraction;
    if (local < 0) {
        if (!fillsBackwards)
            return std::nullopt;
        fraction = 0.0;
    } else if (!isInfinite() && local >= activeDuration()) {
        if (!fillsForwards)
            return std::nullopt;
        const double passes = m_repeatCount > 0 ? m_repeatCount : 1.0;
        const double partial = passes - std::floor(passes);
        fraction = partial > 0 ? partial : 1.0;
    } else if (duration <= 0) {
        fraction = 1.0;
    } else {
        fraction = std::fmod(local, duration) / duration;
    }

    const double progress = m_timing ? m_timing->valueAt(fraction) : fraction;
    QVariant value = valueAt(progress, underlying);
    if (m_valueFunction == ValueFunction::RotateZ) {
        bool ok = false;
        const double angle = value.toDouble(&ok);
        if (!ok)
            return std::nullopt;
        QTransform rotation;
        rotation.rotateRadians(angle);
        value = QVariant::fromValue(rotation);
    }
    return value;
}

} // namespace platform
