#pragma once

#include <QPainterPath>
#include <QRectF>

// Geometry shared by the progress view, its parts and the styled button.
namespace GeometryHelpers {

enum class Rounding
{
    ToNearestOrAwayFromZero,
    ToNearestOrEven,
    Up,
    Down,
    TowardZero,
    AwayFromZero
};

QPointF center(const QRectF &rect);
// A rectangle of the size centred in the given one, relative to its origin (the origin is not added).
QRectF centeredRect(const QRectF &rect, const QSizeF &size);
QPointF rounded(const QPointF &point, Rounding rule = Rounding::ToNearestOrAwayFromZero);
// The arc of a circle from a start angle through a sweep, in degrees as QPainterPath counts them
// (counter-clockwise on screen from three o'clock).
QPainterPath arc(const QPointF &center, double radius, double startDegrees, double sweepDegrees);

} // namespace GeometryHelpers
