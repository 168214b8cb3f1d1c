#include "Platform/Layers/TextLayer.h"

#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace platform {

// The layer's backing store: the text drawn once at the contents scale, redrawn only when what it shows
// changes. Large text is not in Qt's glyph cache, so drawing it afresh each frame would be slow.
struct TextLayer::Cache
{
    QString text;
    QFont font;
    QSizeF size;
    QColor color;
    int alignment = 0;
    bool wrapped = false;
    double scale = 0;
    QImage image;
};

TextLayer::TextLayer() : m_cache(std::make_shared<Cache>()) {}

std::shared_ptr<TextLayer> TextLayer::create()
{
    return std::make_shared<TextLayer>();
}

void TextLayer::setString(const QString &string)
{
    setValue(Keys::string, string);
}

void TextLayer::setFont(const QFont &font)
{
    setValue(Keys::font, font);
}

void TextLayer::setFontSize(double size)
{
    setValue(Keys::fontSize, size);
}

void TextLayer::setForegroundColor(const QColor &color)
{
    setValue(Keys::foregroundColor, color);
}

void TextLayer::setAlignmentMode(Alignment alignment)
{
    setValue(Keys::alignmentMode, alignment);
}

void TextLayer::setWrapped(bool wrapped)
{
    setValue(Keys::wrapped, wrapped);
}

QFont TextLayer::renderFont() const
{
    QFont font = m_font;
    font.setPixelSize(std::max(1, int(std::lround(m_fontSize))));
    return font;
}

QSizeF TextLayer::preferredFrameSize() const
{
    const QFontMetricsF metrics(renderFont());
    const QStringList lines = m_string.split(QLatin1Char('\n'));
    double width = 0;
    for (const QString &line : lines)
        width = std::max(width, metrics.horizontalAdvance(line));
    return {std::ceil(width), std::ceil(metrics.height() * double(lines.size()))};
}

const LayerPropertyTable &TextLayer::propertyTable() const
{
    static const LayerPropertyTable table(
        &layerProperties(),
        {
            layerProperty(Keys::string, &TextLayer::m_string, Animates::No),
            layerProperty(Keys::font, &TextLayer::m_font, Animates::No),
            layerProperty(Keys::fontSize, &TextLayer::m_fontSize, Animates::Yes),
            layerProperty(Keys::foregroundColor, &TextLayer::m_foregroundColor, Animates::Yes),
            layerProperty(Keys::alignmentMode, &TextLayer::m_alignment, Animates::No),
            layerProperty(Keys::wrapped, &TextLayer::m_wrapped, Animates::No),
        });
    return table;
}

LayerPtr TextLayer::makeModelCopy() const
{
    auto copy = std::make_shared<TextLayer>();
    copy->copyModelValuesFrom(*this);
    copy->m_cache = m_cache;
    return copy;
}

void TextLayer::drawContents(QPainter &painter) const
{
    if (m_string.isEmpty() || !m_foregroundColor.isValid() || m_foregroundColor.alpha() == 0)
        return;
    const QRectF b = bounds();
    if (b.width() <= 0 || b.height() <= 0)
        return;
    const QFont font = renderFont();
    const double scale = std::clamp(contentsScale(), 0.25, 8.0);
    Cache &cache = *m_cache;
    if (cache.text != m_string || cache.font != font || cache.size != b.size() ||
        cache.color != m_foregroundColor || cache.alignment != int(m_alignment) ||
        cache.wrapped != m_wrapped || cache.scale != scale) {
        cache.text = m_string;
        cache.font = font;
        cache.size = b.size();
        cache.color = m_foregroundColor;
        cache.alignment = int(m_alignment);
        cache.wrapped = m_wrapped;
        cache.scale = scale;
        cache.image = QImage(QSize(int(std::ceil(b.width() * scale)), int(std::ceil(b.height() * scale))),
                             QImage::Format_ARGB32_Premultiplied);
        cache.image.fill(Qt::transparent);
        QPainter text(&cache.image);
        text.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
        text.scale(scale, scale);
        text.setFont(font);
        text.setPen(m_foregroundColor);
        Qt::Alignment horizontal = Qt::AlignLeft;
        switch (m_alignment) {
        case Alignment::Center:
            horizontal = Qt::AlignHCenter;
            break;
        case Alignment::Right:
            horizontal = Qt::AlignRight;
            break;
        case Alignment::Justified:
            horizontal = Qt::AlignJustify;
            break;
        case Alignment::Natural:
            horizontal = m_string.isRightToLeft() ? Qt::AlignRight : Qt::AlignLeft;
            break;
        case Alignment::Left:
            break;
        }
        const int flags = int(horizontal | Qt::AlignTop) | (m_wrapped ? int(Qt::TextWordWrap) : 0);
        text.drawText(QRectF(0, 0, b.width(), b.height()), flags, m_string);
    }

    // Text reads top down, so the bounds are flipped back to the widget's orientation for it.
    painter.save();
    painter.translate(b.x(), b.y() + b.height());
    painter.scale(1, -1);
    painter.drawImage(QRectF(0, 0, b.width(), b.height()), cache.image);
    painter.restore();
}

} // namespace platform
