#include "Common/CircularProgress/GeometryHelpers.h"

namespace GeometryHelpers {

QPainterPath arc(const QPointF &center, double radius, double startDegrees, double sweepDegrees)
{
    const QRectF circle(center.x() - radius, center.y() - radius, 2 * radius, 2 * radius);
    QPainterPath path;
    path.arcMoveTo(circle, startDegrees);
    path.arcTo(circle, startDegrees, sweepDegrees);
    return path;
}

} // namespace GeometryHelpers
