#include "Common/CircularProgress/ProgressCircleShapeLayer.h"

#include "Common/CircularProgress/GeometryHelpers.h"

#include <QPainter>

ProgressCircleShapeLayer::ProgressCircleShapeLayer(double radius, const QPointF &center, QWidget *view)
    : m_view(view), m_radius(radius), m_center(center)
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

void ProgressCircleShapeLayer::paint(QPainter &painter, const QColor &color) const
{
    const double fraction = std::min(shownProgress(), 1.0);
    if (m_hidden || !(fraction > 0.0) || m_lineWidth <= 0)
        return;
    painter.strokePath(GeometryHelpers::arc(m_center, m_radius, 90.0, -360.0 * fraction),
                       QPen(color, m_lineWidth, Qt::SolidLine, Qt::RoundCap, Qt::SvgMiterJoin));
}
