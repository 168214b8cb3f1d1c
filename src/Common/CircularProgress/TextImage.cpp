#include "Common/CircularProgress/TextImage.h"

#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>
#include <cmath>

void TextImage::setFont(const QFont &font, double size)
{
    m_font = font;
    m_font.setPixelSize(std::max(1, int(std::lround(size))));
    m_fontSize = size;
}

QSizeF TextImage::preferredSize() const
{
    const QFontMetricsF metrics(m_font);
    return {metrics.horizontalAdvance(m_string), metrics.height()};
}

void TextImage::paint(QPainter &painter, const QColor &color)
{
    if (m_hidden || m_string.isEmpty() || !color.isValid() || color.alpha() == 0 || m_frame.isEmpty())
        return;
    const double scale = std::clamp(std::abs(painter.deviceTransform().m11()), 0.25, 8.0);
    const auto key = std::make_tuple(m_string, m_font, m_frame.size(), color, scale);
    if (key != m_imageKey || m_image.isNull()) {
        m_imageKey = key;
        const QSizeF size = m_frame.size() * scale;
        m_image = QImage(int(std::ceil(size.width())), int(std::ceil(size.height())),
                         QImage::Format_ARGB32_Premultiplied);
        m_image.fill(Qt::transparent);
        QPainter text(&m_image);
        text.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
        text.scale(scale, scale);
        text.setFont(m_font);
        text.setPen(color);
        text.drawText(QRectF(QPointF(0, 0), m_frame.size()), Qt::AlignHCenter | Qt::AlignTop, m_string);
    }
    painter.drawImage(m_frame, m_image);
}
