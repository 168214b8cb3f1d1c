#include "Platform/Layers/ShapeLayer.h"

#include "Platform/Layers/PathTrim.h"

#include <QPainter>

namespace platform {

ShapeLayer::ShapeLayer() = default;

std::shared_ptr<ShapeLayer> ShapeLayer::create()
{
    return std::make_shared<ShapeLayer>();
}

void ShapeLayer::setPath(const QPainterPath &path)
{
    setValueForKey(QStringLiteral("path"), QVariant::fromValue(path));
}

void ShapeLayer::setFillColor(const QColor &color)
{
    setValueForKey(QStringLiteral("fillColor"), color);
}

void ShapeLayer::setStrokeColor(const QColor &color)
{
    setValueForKey(QStringLiteral("strokeColor"), color);
}

void ShapeLayer::setLineWidth(double width)
{
    setValueForKey(QStringLiteral("lineWidth"), width);
}

void ShapeLayer::setLineCap(LineCap cap)
{
    setValueForKey(QStringLiteral("lineCap"), int(cap));
}

void ShapeLayer::setLineJoin(LineJoin join)
{
    setValueForKey(QStringLiteral("lineJoin"), int(join));
}

void ShapeLayer::setMiterLimit(double limit)
{
    setValueForKey(QStringLiteral("miterLimit"), limit);
}

void ShapeLayer::setStrokeStart(double fraction)
{
    setValueForKey(QStringLiteral("strokeStart"), fraction);
}

void ShapeLayer::setStrokeEnd(double fraction)
{
    setValueForKey(QStringLiteral("strokeEnd"), fraction);
}

QVariant ShapeLayer::valueForKey(const QString &key) const
{
    if (key == QLatin1String("path"))
        return QVariant::fromValue(m_path);
    if (key == QLatin1String("fillColor"))
        return m_fillColor;
    if (key == QLatin1String("strokeColor"))
        return m_strokeColor;
    if (key == QLatin1String("lineWidth"))
        return m_lineWidth;
    if (key == QLatin1String("lineCap"))
        return int(m_lineCap);
    if (key == QLatin1String("lineJoin"))
        return int(m_lineJoin);
    if (key == QLatin1String("miterLimit"))
        return m_miterLimit;
    if (key == QLatin1String("strokeStart"))
        return m_strokeStart;
    if (key == QLatin1String("strokeEnd"))
        return m_strokeEnd;
    return Layer::valueForKey(key);
}

bool ShapeLayer::storeValue(const QString &key, const QVariant &value)
{
    if (key == QLatin1String("path"))
        m_path = value.value<QPainterPath>();
    else if (key == QLatin1String("fillColor"))
        m_fillColor = value.value<QColor>();
    else if (key == QLatin1String("strokeColor"))
        m_strokeColor = value.value<QColor>();
    else if (key == QLatin1String("lineWidth"))
        m_lineWidth = value.toDouble();
    else if (key == QLatin1String("lineCap"))
        m_lineCap = LineCap(value.toInt());
    else if (key == QLatin1String("lineJoin"))
        m_lineJoin = LineJoin(value.toInt());
    else if (key == QLatin1String("miterLimit"))
        m_miterLimit = value.toDouble();
    else if (key == QLatin1String("strokeStart"))
        m_strokeStart = value.toDouble();
    else if (key == QLatin1String("strokeEnd"))
        m_strokeEnd = value.toDouble();
    else
        return Layer::storeValue(key, value);
    return true;
}

bool ShapeLayer::isAnimatableKey(const QString &key) const
{
    static const QStringList animatable{QStringLiteral("path"),        QStringLiteral("fillColor"),
                                        QStringLiteral("strokeColor"), QStringLiteral("lineWidth"),
                                        QStringLiteral("miterLimit"),  QStringLiteral("strokeStart"),
                                        QStringLiteral("strokeEnd")};
    return animatable.contains(key) || Layer::isAnimatableKey(key);
}

LayerPtr ShapeLayer::makeModelCopy() const
{
    auto copy = std::make_shared<ShapeLayer>();
    copy->copyModelValuesFrom(*this);
    copy->m_path = m_path;
    copy->m_fillColor = m_fillColor;
    copy->m_strokeColor = m_strokeColor;
    copy->m_lineWidth = m_lineWidth;
    copy->m_lineCap = m_lineCap;
    copy->m_lineJoin = m_lineJoin;
    copy->m_miterLimit = m_miterLimit;
    copy->m_strokeStart = m_strokeStart;
    copy->m_strokeEnd = m_strokeEnd;
    return copy;
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
