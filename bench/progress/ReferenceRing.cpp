#include "ReferenceRing.h"

#include "Common/CircularProgress/ColorHelpers.h"
#include "Common/CircularProgress/ViewHelpers.h"

#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>
#include <cmath>

ReferenceRing::ReferenceRing(const QSize &size, double lineWidth)
    : m_lineWidth(lineWidth), m_color(ColorHelpers::sharedDefaultColor()), m_font(ViewHelpers::labelFont())
{
    resize(size);
    m_font.setPixelSize(int(std::lround(0.2 * std::min(size.width(), size.height()))));
    // A line high and as wide as the view, centred, as the ring places its label.
    const double line = std::ceil(QFontMetricsF(m_font).height());
    m_labelFrame = QRectF(0, (size.height() - line) / 2.0, size.width(), line);
}

void ReferenceRing::setPicture(double fraction, const QString &label)
{
    m_fraction = fraction;
    m_label = label;
    update();
}

void ReferenceRing::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    const double radius = std::min(width(), height()) / 2.0 * 0.8;
    const QPointF c = QRectF(rect()).center();
    const QRectF circle(c.x() - radius, c.y() - radius, 2 * radius, 2 * radius);
    QColor track = m_color;
    track.setAlphaF(0.5f);
    painter.setPen(QPen(track, m_lineWidth * 0.5, Qt::SolidLine, Qt::FlatCap, Qt::SvgMiterJoin));
    painter.drawEllipse(circle);
    if (m_fraction > 0) {
        // QPainter counts sixteenths of a degree, counter-clockwise from three o'clock.
        painter.setPen(QPen(m_color, m_lineWidth, Qt::SolidLine, Qt::RoundCap, Qt::SvgMiterJoin));
        painter.drawArc(circle, 90 * 16, int(std::lround(-360.0 * 16 * m_fraction)));
    }
    painter.setFont(m_font);
    painter.setPen(m_color);
    painter.drawText(m_labelFrame, Qt::AlignHCenter | Qt::AlignTop, m_label);
}
