#pragma once

#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QSizeF>

// Geometry shared by the progress view, its layers and the styled button.
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

// An arc in y-up coordinates, angles in degrees counted counter-clockwise from the positive x axis, drawn
// counter-clockwise from start to end unless clockwise is set, as the platform's Bézier paths append arcs.
// A sweep of a full turn or more draws the whole circle once.
QPainterPath arc(const QPointF &center, double radius, double startDegrees, double endDegrees,
                 bool clockwise);

} // namespace GeometryHelpers
