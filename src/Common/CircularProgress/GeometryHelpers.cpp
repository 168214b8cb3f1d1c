#include "Common/CircularProgress/GeometryHelpers.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace GeometryHelpers {

namespace {

double roundValue(double value, Rounding rule)
{
    switch (rule) {
    case Rounding::ToNearestOrAwayFromZero:
        return std::round(value);
    case Rounding::ToNearestOrEven:
        return std::nearbyint(value);
    case Rounding::Up:
        return std::ceil(value);
    case Rounding::Down:
        return std::floor(value);
    case Rounding::TowardZero:
        return std::trunc(value);
    case Rounding::AwayFromZero:
        return value < 0 ? std::floor(value) : std::ceil(value);
    }
    return value;
}

QPointF onCircle(const QPointF &c, double r, double radians)
{
    return {c.x() + r * std::cos(radians), c.y() + r * std::sin(radians)};
}

} // namespace

QPointF center(const QRectF &rect)
{
    return {rect.x() + rect.width() / 2.0, rect.y() + rect.height() / 2.0};
}

QRectF centeredRect(const QRectF &rect, const QSizeF &size)
{
    return {(rect.width() - size.width()) * 0.5, (rect.height() - size.height()) * 0.5, size.width(),
            size.height()};
}

QPointF rounded(const QPointF &point, Rounding rule)
{
    return {roundValue(point.x(), rule), roundValue(point.y(), rule)};
}

QPainterPath arc(const QPointF &c, double radius, double startDegrees, double endDegrees, bool clockwise)
{
    double sweep = endDegrees - startDegrees;
    if (clockwise) {
        while (sweep > 0)
            sweep -= 360.0;
        sweep = std::max(sweep, -360.0);
    } else {
        while (sweep < 0)
            sweep += 360.0;
        sweep = std::min(sweep, 360.0);
    }

    const double start = startDegrees * std::numbers::pi / 180.0;
    const double total = sweep * std::numbers::pi / 180.0;
    QPainterPath path(onCircle(c, radius, start));
    if (radius <= 0 || total == 0)
        return path;

    // At most a quarter turn per cubic keeps the curve within a hair of the true circle.
    const int pieces = std::max(1, int(std::ceil(std::abs(total) / (std::numbers::pi / 2.0) - 1e-9)));
    const double step = total / pieces;
    const double k = 4.0 / 3.0 * std::tan(step / 4.0);
    for (int i = 0; i < pieces; ++i) {
        const double a0 = start + step * i;
        const double a1 = a0 + step;
        const QPointF p0 = onCircle(c, radius, a0);
        const QPointF p3 = onCircle(c, radius, a1);
        const QPointF t0(-std::sin(a0), std::cos(a0));
        const QPointF t1(-std::sin(a1), std::cos(a1));
        path.cubicTo(p0 + t0 * (k * radius), p3 - t1 * (k * radius), p3);
    }
    return path;
}

} // namespace GeometryHelpers
