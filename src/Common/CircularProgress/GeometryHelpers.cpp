#include "Common/CircularProgress/GeometryHelpers.h"

#include <cmath>

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

} // namespace GeometryHelpers
