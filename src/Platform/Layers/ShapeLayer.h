#pragma once

#include "Platform/Layers/Layer.h"

#include <QPainterPath>

namespace platform {

// A layer that fills and strokes a path. The stroke runs between two fractions of the path's length
// (stroke start and stroke end), which is how a ring is drawn part of the way round.
class ShapeLayer : public Layer
{
public:
    enum class LineCap
    {
        Butt,
        Round,
        Square
    };
    enum class LineJoin
    {
        Miter,
        Round,
        Bevel
    };

    struct Keys : Layer::Keys
    {
        static constexpr LayerKey<QPainterPath> path{"path"};
        static constexpr LayerKey<QColor> fillColor{"fillColor"};
        static constexpr LayerKey<QColor> strokeColor{"strokeColor"};
        static constexpr LayerKey<double> lineWidth{"lineWidth"};
        static constexpr LayerKey<LineCap> lineCap{"lineCap"};
        static constexpr LayerKey<LineJoin> lineJoin{"lineJoin"};
        static constexpr LayerKey<double> miterLimit{"miterLimit"};
        static constexpr LayerKey<double> strokeStart{"strokeStart"};
        static constexpr LayerKey<double> strokeEnd{"strokeEnd"};
    };

    ShapeLayer();
    static std::shared_ptr<ShapeLayer> create();

    QPainterPath path() const { return m_path; }
    void setPath(const QPainterPath &path);
    // Opaque black by default, as on the platform; an invalid colour means no fill.
    QColor fillColor() const { return m_fillColor; }
    void setFillColor(const QColor &color);
    // None by default.
    QColor strokeColor() const { return m_strokeColor; }
    void setStrokeColor(const QColor &color);
    double lineWidth() const { return m_lineWidth; }
    void setLineWidth(double width);
    LineCap lineCap() const { return m_lineCap; }
    void setLineCap(LineCap cap);
    LineJoin lineJoin() const { return m_lineJoin; }
    void setLineJoin(LineJoin join);
    double miterLimit() const { return m_miterLimit; }
    void setMiterLimit(double limit);
    double strokeStart() const { return m_strokeStart; }
    void setStrokeStart(double fraction);
    double strokeEnd() const { return m_strokeEnd; }
    void setStrokeEnd(double fraction);

    QRectF paintedBounds() const override;

protected:
    const LayerPropertyTable &propertyTable() const override;
    LayerPtr makeModelCopy() const override;
    void drawContents(QPainter &painter) const override;

private:
    QPainterPath m_path;
    QColor m_fillColor{Qt::black};
    QColor m_strokeColor;
    double m_lineWidth = 1.0;
    LineCap m_lineCap = LineCap::Butt;
    LineJoin m_lineJoin = LineJoin::Miter;
    double m_miterLimit = 10.0;
    double m_strokeStart = 0.0;
    double m_strokeEnd = 1.0;
};

using ShapeLayerPtr = std::shared_ptr<ShapeLayer>;

} // namespace platform
