#pragma once

#include "Platform/Layers/ShapeLayer.h"

// The quarter arc that spins while the progress is unknown. The layer has no size and sits at the centre,
// so rotating it turns the arc about the centre.
class IndeterminateProgressCircleShapeLayer : public platform::ShapeLayer
{
public:
    IndeterminateProgressCircleShapeLayer();
    IndeterminateProgressCircleShapeLayer(double radius, const QPointF &center);
    static std::shared_ptr<IndeterminateProgressCircleShapeLayer> create(double radius,
                                                                         const QPointF &center);
};
