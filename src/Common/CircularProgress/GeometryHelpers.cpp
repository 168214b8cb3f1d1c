#include "Common/CircularProgress/GeometryHelpers.h"

#include <cmath>

namespace GeometryHelpers {

QPointF center(const QRectF &rect)
{
    return rect.center();
}

QRectF centeredRect(const QRectF &rect, const QSizeF &size)
{
    return {QPointF((rect.width() - size.width()) * 0.5, (rect.height() - size.height()) * 0.5), size};
}

QPointF rounded(const QPointF &point, Rounding rule)
{
    static constexpr double (*rules[])(double) = {[](double v) { return std::round(v); },
                                                  [](double v) { return std::nearbyint(v); },
                                                  [](double v) { return std::ceil(v); },
                                                  [](double v) { return std::floor(v); },
                                                  [](double v) { return std::trunc(v); },
                                                  [](double v) { return v < 0 ? std::floor(v) : std::ceil(v); }};
    const auto round = rules[int(rule)];
    return {round(point.x()), round(point.y())};
}

QPainterPath arc(const QPointF &center, double radius, double startDegrees, double sweepDegrees)
{
    const QRectF circle(center.x() - radius, center.y() - radius, 2 * radius, 2 * radius);
    QPainterPath path;
    path.arcMoveTo(circle, startDegrees);
    path.arcTo(circle, startDegrees, sweepDegrees);
    return path;
}

} // namespace GeometryHelpers
