#include "Common/CircularProgress/ProgressCircleShapeLayer.h"

#include "Common/CircularProgress/GeometryHelpers.h"
#include "Platform/Layers/Transaction.h"

ProgressCircleShapeLayer::ProgressCircleShapeLayer() = default;

ProgressCircleShapeLayer::ProgressCircleShapeLayer(double radius, const QPointF &center)
{
    setFillColor(QColor());
    setLineCap(LineCap::Round);
    setPath(GeometryHelpers::arc(center, radius, 90, -270, true));
    setStrokeEnd(0);
}

std::shared_ptr<ProgressCircleShapeLayer> ProgressCircleShapeLayer::create(double radius,
                                                                           const QPointF &center)
{
    return std::make_shared<ProgressCircleShapeLayer>(radius, center);
}

void ProgressCircleShapeLayer::resetProgress()
{
    platform::Transaction::begin();
    platform::Transaction::setDisableActions(true);
    setStrokeEnd(0);
    platform::Transaction::commit();
    // A fill still on its way would otherwise keep drawing over the empty model value until it ends.
    removeAnimationForKey(QStringLiteral("strokeEnd"));
}
