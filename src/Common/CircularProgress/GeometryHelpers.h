#pragma once

#include <QPainterPath>

// Geometry shared by the progress view and its parts.
namespace GeometryHelpers {

// The arc of a circle from a start angle through a sweep, in degrees as QPainterPath counts them
// (counter-clockwise on screen from three o'clock), beginning at the arc's start rather than at the origin.
QPainterPath arc(const QPointF &center, double radius, double startDegrees, double sweepDegrees);

} // namespace GeometryHelpers
