#pragma once

#include "Platform/Layers/ShapeLayer.h"

// The ring that shows a fraction: a full circle from the top, clockwise, stroked up to the progress value.
class ProgressCircleShapeLayer : public platform::ShapeLayer
{
public:
    ProgressCircleShapeLayer();
    ProgressCircleShapeLayer(double radius, const QPointF &center);
    static std::shared_ptr<ProgressCircleShapeLayer> create(double radius, const QPointF &center);

    // The stroke end: set inside a transaction, the ring moves there with the transaction's animation.
    double progress() const { return strokeEnd(); }
    void setProgress(double progress) { setStrokeEnd(progress); }
    // Empties the ring at once, even inside an animated transaction or while it is still moving.
    void resetProgress();
};
