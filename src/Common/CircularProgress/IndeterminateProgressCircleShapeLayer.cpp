#include "Common/CircularProgress/IndeterminateProgressCircleShapeLayer.h"

#include "Common/CircularProgress/AnimationHelpers.h"

#include <QPainter>
#include <QPainterPath>
#include <QWidget>

IndeterminateProgressCircleShapeLayer::IndeterminateProgressCircleShapeLayer(double radius,
                                                                             const QPointF &center,
                                                                             QWidget *view)
    : m_view(view), m_radius(radius), m_center(center)
{
    QObject::connect(&m_rotation, &QVariantAnimation::valueChanged, view, qOverload<>(&QWidget::update));
}

void IndeterminateProgressCircleShapeLayer::setLineWidth(double width)
{
    m_lineWidth = width;
    m_view->update();
}

void IndeterminateProgressCircleShapeLayer::setHidden(bool hidden)
{
    m_hidden = hidden;
    updateTurning();
    m_view->update();
}

void IndeterminateProgressCircleShapeLayer::addRotation()
{
    if (m_hasRotation)
        return;
    AnimationHelpers::makeSpinnerRotation(m_rotation);
    m_hasRotation = true;
    updateTurning();
}

double IndeterminateProgressCircleShapeLayer::rotation() const
{
    return m_rotation.state() != QAbstractAnimation::Stopped ? m_rotation.currentValue().toDouble() : 0.0;
}

void IndeterminateProgressCircleShapeLayer::setOnScreen(bool onScreen)
{
    m_onScreen = onScreen;
    updateTurning();
}

void IndeterminateProgressCircleShapeLayer::updateTurning()
{
    const bool seen = m_hasRotation && !m_hidden && m_onScreen;
    if (seen && m_rotation.state() == QAbstractAnimation::Stopped)
        m_rotation.start();
    else if (seen && m_rotation.state() == QAbstractAnimation::Paused)
        m_rotation.resume();
    else if (!seen && m_rotation.state() == QAbstractAnimation::Running)
        m_rotation.pause();
}

void IndeterminateProgressCircleShapeLayer::paint(QPainter &painter, const QColor &color) const
{
    if (m_hidden || m_lineWidth <= 0)
        return;
    const QRectF circle(-m_radius, -m_radius, 2 * m_radius, 2 * m_radius);
    QPainterPath arc;
    arc.arcMoveTo(circle, 270.0);
    arc.arcTo(circle, 270.0, 90.0);
    painter.save();
    painter.translate(m_center);
    painter.rotate(rotation());
    painter.setPen(QPen(color, m_lineWidth, Qt::SolidLine, Qt::FlatCap, Qt::SvgMiterJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(arc);
    painter.restore();
}
