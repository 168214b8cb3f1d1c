#include "Common/CircularProgress/CheckmarkView.h"

#include "Common/CircularProgress/AnimationHelpers.h"
#include "Common/CircularProgress/ColorHelpers.h"
#include "Common/CircularProgress/ViewHelpers.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

CheckmarkView::CheckmarkView(const QRect &frame, QWidget *parent) : CheckmarkView(parent)
{
    setGeometry(frame);
}

CheckmarkView::CheckmarkView(QWidget *parent) : QWidget(parent), m_color(ColorHelpers::sharedDefaultColor())
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    m_drawing.setStartValue(0.0);
    m_drawing.setEndValue(1.0);
    m_drawing.setDuration(500);
    m_drawing.setEasingCurve(AnimationHelpers::easeOutTiming());
    connect(&m_drawing, &QVariantAnimation::valueChanged, this, qOverload<>(&QWidget::update));
    connect(&m_drawing, &QAbstractAnimation::finished, this, qOverload<>(&QWidget::update));
}

const QPainterPath &CheckmarkView::path()
{
    if (!m_path) {
        const double w = width(), h = height();
        const double s = 0.4 * std::min(w, h);
        // Centred in the view, so the mark sits in the middle of the ring whatever the view's proportions.
        const QPointF origin((w - s) / 2.0, (h - s) / 2.0);
        m_path.emplace(origin + QPointF(0, s / 2.0));
        m_path->lineTo(origin + QPointF(s / 3.0, 5.0 * s / 6.0));
        m_path->lineTo(origin + QPointF(s, s / 6.0));
    }
    return *m_path;
}

double CheckmarkView::strokeEnd() const
{
    return isDrawing() ? m_drawing.currentValue().toDouble() : 1.0;
}

void CheckmarkView::setColor(const QColor &color)
{
    m_color = color;
    update();
}

void CheckmarkView::setLineWidth(double width)
{
    m_lineWidth = width;
    update();
}

void CheckmarkView::setVisible(bool visible)
{
    const bool wasHidden = ViewHelpers::isViewHidden(this);
    QWidget::setVisible(visible);
    const bool hidden = ViewHelpers::isViewHidden(this);
    if (wasHidden == hidden)
        return;
    if (hidden)
        m_drawing.stop();
    else if (!isDrawing())
        m_drawing.start();
}

void CheckmarkView::paintEvent(QPaintEvent *)
{
    const double end = strokeEnd();
    if (!(end > 0.0) || !m_color.isValid())
        return;
    // The part of the mark up to the drawn fraction of its length.
    const QPainterPath &mark = path();
    const double total = mark.length();
    QPainterPath drawn(mark.elementAt(0));
    double left = end * total;
    for (int i = 1; i < mark.elementCount() && left > 0; ++i) {
        const QPointF from = mark.elementAt(i - 1), to = mark.elementAt(i);
        const double length = std::hypot(to.x() - from.x(), to.y() - from.y());
        drawn.lineTo(length <= left ? to : from + (to - from) * (left / length));
        left -= length;
    }
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                           QPainter::SmoothPixmapTransform);
    painter.setOpacity(ViewHelpers::opacity(this));
    painter.setPen(QPen(m_color, m_lineWidth, Qt::SolidLine, Qt::RoundCap, Qt::SvgMiterJoin));
    painter.drawPath(drawn);
}
