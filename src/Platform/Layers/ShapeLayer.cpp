#include "Platform/Layers/ShapeLayer.h"

#include "Platform/Layers/PathTrim.h"

#include <QPainter>
#include <algorithm>

namespace platform {

ShapeLayer::ShapeLayer() = default;

std::shared_ptr<ShapeLayer> ShapeLayer::create()
{
    return std::make_shared<ShapeLayer>();
}

void ShapeLayer::setPath(const QPainterPath &path)
{
    setValue(Keys::path, path);
}

void ShapeLayer::setFillColor(const QColor &color)
{
    setValue(Keys::fillColor, color);
}

void ShapeLayer::setStrokeColor(const QColor &color)
{
    setValue(Keys::strokeColor, color);
}

void ShapeLayer::setLineWidth(double width)
{
    setValue(Keys::lineWidth, width);
}

void ShapeLayer::setLineCap(LineCap cap)
{
    setValue(Keys::lineCap, cap);
}

void ShapeLayer::setLineJoin(LineJoin join)
{
    setValue(Keys::lineJoin, join);
}

void ShapeLayer::setMiterLimit(double limit)
{
    setValue(Keys::miterLimit, limit);
}

void ShapeLayer::setStrokeStart(double fraction)
{
    setValue(Keys::strokeStart, fraction);
}

void ShapeLayer::setStrokeEnd(double fraction)
{
    setValue(Keys::strokeEnd, fraction);
}

const LayerPropertyTable &ShapeLayer::propertyTable() const
{
    static const LayerPropertyTable table(
        &layerProperties(), {
                                layerProperty(Keys::path, &ShapeLayer::m_path, Animates::Yes),
                                layerProperty(Keys::fillColor, &ShapeLayer::m_fillColor, Animates::Yes),
                                layerProperty(Keys::strokeColor, &ShapeLayer::m_strokeColor, Animates::Yes),
                                layerProperty(Keys::lineWidth, &ShapeLayer::m_lineWidth, Animates::Yes),
                                layerProperty(Keys::lineCap, &ShapeLayer::m_lineCap, Animates::No),
                                layerProperty(Keys::lineJoin, &ShapeLayer::m_lineJoin, Animates::No),
                                layerProperty(Keys::miterLimit, &ShapeLayer::m_miterLimit, Animates::Yes),
                                layerProperty(Keys::strokeStart, &ShapeLayer::m_strokeStart, Animates::Yes),
                                layerProperty(Keys::strokeEnd, &ShapeLayer::m_strokeEnd, Animates::Yes),
                            });
    return table;
}

LayerPtr ShapeLayer::makeModelCopy() const
{
    auto copy = std::make_shared<ShapeLayer>();
    copy->copyModelValuesFrom(*this);
    return copy;
}

QRectF ShapeLayer::paintedBounds() const
{
    if (m_path.isEmpty())
        return Layer::paintedBounds();
    // A stroke reaches half its width beyond the path, a mitred corner up to the miter limit times that.
    const double reach =
        m_lineWidth / 2.0 * (m_lineJoin == LineJoin::Miter ? std::max(1.0, m_miterLimit) : 1.0);
    return Layer::paintedBounds() | m_path.boundingRect().adjusted(-reach, -reach, reach, reach);
}

void ShapeLayer::drawContents(QPainter &painter) const
{
    if (m_path.isEmpty())
        return;
    if (m_fillColor.isValid() && m_fillColor.alpha() > 0)
        painter.fillPath(m_path, m_fillColor);

    if (!m_strokeColor.isValid() || m_strokeColor.alpha() == 0 || m_lineWidth <= 0)
        return;
    const QPainterPath stroked = PathTrim::trimmed(m_path, m_strokeStart, m_strokeEnd);
    if (stroked.isEmpty())
        return;
    QPen pen(m_strokeColor, m_lineWidth);
    switch (m_lineCap) {
    case LineCap::Butt:
        pen.setCapStyle(Qt::FlatCap);
        break;
    case LineCap::Round:
        pen.setCapStyle(Qt::RoundCap);
        break;
    case LineCap::Square:
        pen.setCapStyle(Qt::SquareCap);
        break;
    }
    switch (m_lineJoin) {
    case LineJoin::Miter:
        pen.setJoinStyle(Qt::SvgMiterJoin);
        pen.setMiterLimit(m_miterLimit);
        break;
    case LineJoin::Round:
        pen.setJoinStyle(Qt::RoundJoin);
        break;
    case LineJoin::Bevel:
        pen.setJoinStyle(Qt::BevelJoin);
        break;
    }
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(stroked);
}

} // namespace platform
