#include "Common/CircularProgress/IndeterminateProgressCircleShapeLayer.h"

#include "Common/CircularProgress/GeometryHelpers.h"

#include <QPainter>

IndeterminateProgressCircleShapeLayer::IndeterminateProgressCircleShapeLayer(double radius,
                                                                             const QPointF &center,
                                                                             QWidget *view)
    : m_view(view), m_radius(radius), m_center(center)
{
    QObject::connect(&m_rotation, &QVariantAnimation::valueChanged, view, qOverload<>(&QWidget::update));
}

void IndeterminateProgressCircleShapeLayer::setHidden(bool hidden)
{
    m_hidden = hidden;
    updateTurning();
    m_view->update();
}

void IndeterminateProgressCircleShapeLayer::addRotation()
{
    if (hasRotation())
        return;
    // 0° to 360° clockwise on screen, one turn a second at an even pace, for ever.
    m_rotation.setStartValue(0.0);
    m_rotation.setEndValue(360.0);
    m_rotation.setDuration(1000);
    m_rotation.setLoopCount(-1);
    m_rotation.start();
    m_rotation.pause();
    updateTurning();
}

void IndeterminateProgressCircleShapeLayer::setOnScreen(bool onScreen)
{
    m_onScreen = onScreen;
    updateTurning();
}

void IndeterminateProgressCircleShapeLayer::updateTurning()
{
    const bool seen = !m_hidden && m_onScreen;
    if (hasRotation() && seen != isTurning())
        m_rotation.setPaused(!seen);
}

void IndeterminateProgressCircleShapeLayer::paint(QPainter &painter, const QColor &color) const
{
    if (m_hidden || m_lineWidth <= 0)
        return;
    painter.save();
    painter.translate(m_center);
    painter.rotate(rotation());
    painter.strokePath(GeometryHelpers::arc(QPointF(), m_radius, 270.0, 90.0),
                       QPen(color, m_lineWidth, Qt::SolidLine, Qt::FlatCap, Qt::SvgMiterJoin));
    painter.restore();
}
