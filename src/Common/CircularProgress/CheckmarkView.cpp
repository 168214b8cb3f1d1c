#include "Common/CircularProgress/CheckmarkView.h"

#include "Common/CircularProgress/AnimationHelpers.h"
#include "Common/CircularProgress/ColorHelpers.h"
#include "Common/CircularProgress/ViewHelpers.h"

#include <QPainter>

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
        // Centred in the view, so the mark sits in the middle of the ring whatever the view's proportions.
        const double s = 0.4 * std::min(width(), height());
        const QPointF origin((width() - s) / 2.0, (height() - s) / 2.0);
        m_path.emplace(origin + QPointF(0, s / 2.0));
        m_path->lineTo(origin + QPointF(s / 3.0, 5.0 * s / 6.0));
        m_path->lineTo(origin + QPointF(s, s / 6.0));
    }
    return *m_path;
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
    // The view's own flag: a new child, which Qt reports hidden until its parent is shown, counts as shown,
    // as a new view does on the platform.
    const bool wasHidden = !isVisibleTo(parentWidget());
    QWidget::setVisible(visible);
    const bool hidden = !isVisibleTo(parentWidget());
    if (hidden && !wasHidden)
        m_drawing.stop();
    else if (!hidden && wasHidden && !isDrawing())
        m_drawing.start();
}

void CheckmarkView::paintEvent(QPaintEvent *)
{
    const double end = strokeEnd();
    if (!(end > 0.0) || !m_color.isValid())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(ViewHelpers::opacity(this));
    QPen pen(m_color, m_lineWidth, Qt::SolidLine, Qt::RoundCap, Qt::SvgMiterJoin);
    // Part way, the mark is one dash as long as the drawn part of it, followed by a gap past its end.
    if (end < 1.0 && m_lineWidth > 0) {
        const double length = path().length() / m_lineWidth;
        pen.setDashPattern({end * length, length + 1.0});
    }
    painter.strokePath(path(), pen);
}
