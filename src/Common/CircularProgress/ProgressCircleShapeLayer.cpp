#include "Common/CircularProgress/ProgressCircleShapeLayer.h"

#include <QPainter>
#include <QPainterPath>
#include <QWidget>

ProgressCircleShapeLayer::ProgressCircleShapeLayer(double radius, const QPointF &center, QWidget *view)
    : m_view(view), m_circle(center.x() - radius, center.y() - radius, 2 * radius, 2 * radius)
{
    QObject::connect(&m_move, &QVariantAnimation::valueChanged, view, qOverload<>(&QWidget::update));
}

double ProgressCircleShapeLayer::shownProgress() const
{
    return m_move.state() == QAbstractAnimation::Running ? m_move.currentValue().toDouble() : m_progress;
}

void ProgressCircleShapeLayer::setProgress(double progress, int durationMs, const QEasingCurve &curve)
{
    if (durationMs > 0 && progress == m_progress)
        return;
    const double shown = shownProgress();
    m_move.stop();
    m_progress = progress;
    if (durationMs > 0 && shown != progress) {
        m_move.setStartValue(shown);
        m_move.setEndValue(progress);
        m_move.setDuration(durationMs);
        m_move.setEasingCurve(curve);
        m_move.start();
    }
    m_view->update();
}

void ProgressCircleShapeLayer::setLineWidth(double width)
{
    m_lineWidth = width;
    m_view->update();
}

void ProgressCircleShapeLayer::setHidden(bool hidden)
{
    m_hidden = hidden;
    m_view->update();
}

void ProgressCircleShapeLayer::paint(QPainter &painter, const QColor &color) const
{
    const double fraction = std::min(shownProgress(), 1.0);
    if (m_hidden || !(fraction > 0.0) || m_lineWidth <= 0)
        return;
    QPainterPath ring;
    ring.arcMoveTo(m_circle, 90.0);
    ring.arcTo(m_circle, 90.0, -360.0 * fraction);
    painter.setPen(QPen(color, m_lineWidth, Qt::SolidLine, Qt::RoundCap, Qt::SvgMiterJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(ring);
}
