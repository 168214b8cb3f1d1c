#pragma once

#include <QEasingCurve>
#include <QPointF>

namespace platform {

// Maps an animation's elapsed fraction to its progress along a cubic Bézier from (0, 0) to (1, 1), as the
// platform's media timing functions do. Qt's Bézier easing curve does the solving.
class TimingFunction
{
public:
    enum class Name
    {
        Linear,
        EaseIn,
        EaseOut,
        EaseInEaseOut,
        Default
    };

    // Linear.
    TimingFunction();
    TimingFunction(double c1x, double c1y, double c2x, double c2y);
    static TimingFunction named(Name name);

    double valueAt(double fraction) const;
    QPointF controlPoint1() const { return {m_x1, m_y1}; }
    QPointF controlPoint2() const { return {m_x2, m_y2}; }

    bool operator==(const TimingFunction &other) const = default;

private:
    double m_x1 = 0.0;
    double m_y1 = 0.0;
    double m_x2 = 1.0;
    double m_y2 = 1.0;
    QEasingCurve m_curve{QEasingCurve::Linear};
};

} // namespace platform
