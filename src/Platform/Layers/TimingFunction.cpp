#include "Platform/Layers/TimingFunction.h"

#include <algorithm>

namespace platform {

TimingFunction::TimingFunction() = default;

TimingFunction::TimingFunction(double c1x, double c1y, double c2x, double c2y)
    : m_x1(std::clamp(c1x, 0.0, 1.0)), m_y1(c1y), m_x2(std::clamp(c2x, 0.0, 1.0)), m_y2(c2y)
{
    if (m_x1 == m_y1 && m_x2 == m_y2)
        return; // the straight line
    m_curve = QEasingCurve(QEasingCurve::BezierSpline);
    m_curve.addCubicBezierSegment(QPointF(m_x1, m_y1), QPointF(m_x2, m_y2), QPointF(1.0, 1.0));
}

TimingFunction TimingFunction::named(Name name)
{
    switch (name) {
    case Name::Linear:
        return {0.0, 0.0, 1.0, 1.0};
    case Name::EaseIn:
        return {0.42, 0.0, 1.0, 1.0};
    case Name::EaseOut:
        return {0.0, 0.0, 0.58, 1.0};
    case Name::EaseInEaseOut:
        return {0.42, 0.0, 0.58, 1.0};
    case Name::Default:
        return {0.25, 0.1, 0.25, 1.0};
    }
    return {};
}

double TimingFunction::valueAt(double fraction) const
{
    if (!(fraction > 0.0))
        return 0.0;
    if (fraction >= 1.0)
        return 1.0;
    return m_curve.valueForProgress(fraction);
}

} // namespace platform
