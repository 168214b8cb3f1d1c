#include "Common/CircularProgress/IndeterminateProgressCircleShapeLayer.h"

#include "Common/CircularProgress/GeometryHelpers.h"

IndeterminateProgressCircleShapeLayer::IndeterminateProgressCircleShapeLayer() = default;

IndeterminateProgressCircleShapeLayer::IndeterminateProgressCircleShapeLayer(double radius,
                                                                             const QPointF &center)
{
    setFillColor(QColor());
    // From the bottom to the right-hand side, around the layer's own (empty) bounds, that is its origin.
    setPath(GeometryHelpers::arc(GeometryHelpers::center(bounds()), radius, 270, 360, false));
    setAnchorPoint(QPointF(0.5, 0.5));
    setPosition(center);
}

std::shared_ptr<IndeterminateProgressCircleShapeLayer>
IndeterminateProgressCircleShapeLayer::create(double radius, const QPointF &center)
{
    return std::make_shared<IndeterminateProgressCircleShapeLayer>(radius, center);
}
