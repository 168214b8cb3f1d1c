#include "Platform/Layers/TimingFunction.h"

#include <algorithm>
#include <cmath>

namespace platform {

TimingFunction::TimingFunction() = default;

TimingFunction::TimingFunction(double c1x, double c1y, double c2x, double c2y)
    : m_x1(std::clamp(c1x, 0.0, 1.0)), m_y1(c1y), m_x2(std::clamp(c2x, 0.0, 1.0)), m_y2(c2y)
{}

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

// Bernstein form with the end points fixed at 0 and 1.
double TimingFunction::curveX(double t) const
{
    const double u = 1.0 - t;
    return 3.0 * u * u * t * m_x1 + 3.0 * u * t * t * m_x2 + t * t * t;
}

double TimingFunction::curveY(double t) const
{
    const double u = 1.0 - t;
    return 3.0 * u * u * t * m_y1 + 3.0 * u * t * t * m_y2 + t * t * t;
}

double TimingFunction::slopeX(double t) const
{
    const double u = 1.0 - t;
    return 3.0 * u * u * m_x1 + 6.0 * u * t * (m_x2 - m_x1) + 3.0 * t * t * (1.0 - m_x2);
}

double TimingFunction::valueAt(double fraction) const
{
    if (!(fraction > 0.0))
        return 0.0;
    if (fraction >= 1.0)
        return 1.0;
    if (m_x1 == m_y1 && m_x2 == m_y2)
        return fraction;

    // Newton's method converges in a few steps for these monotonic curves; bisection covers flat slopes.
    double t = fraction;
    for (int i = 0; i < 8; ++i) {
        const double error = curveX(t) - fraction;
        if (std::abs(error) < 1e-7)
            return curveY(t);
        const double slope = slopeX(t);
        if (std::abs(slope) < 1e-6)
            break;
        t -= error / slope;
    }
    double low = 0.0;
    double high = 1.0;
    t = fraction;
    for (int i = 0; i < 60; ++i) {
        const double x = curveX(t);
        if (std::abs(x - fraction) < 1e-7)
            break;
        if (x < fraction)
            low = t;
        else
            high = t;
        t = 0.5 * (low + high);
    }
    return curveY(t);
}

} // namespace platform
