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
    setValueForKey(QStringLiteral("string"), string);
}

void TextLayer::setFont(const QFont &font)
{
    setValueForKey(QStringLiteral("font"), font);
}

void TextLayer::setFontSize(double size)
{
    setValueForKey(QStringLiteral("fontSize"), size);
}

void TextLayer::setForegroundColor(const QColor &color)
{
    setValueForKey(QStringLiteral("foregroundColor"), color);
}

void TextLayer::setAlignmentMode(Alignment alignment)
{
    setValueForKey(QStringLiteral("alignmentMode"), int(alignment));
}

void TextLayer::setWrapped(bool wrapped)
{
    setValueForKey(QStringLiteral("wrapped"), wrapped);
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

QVariant TextLayer::valueForKey(const QString &key) const
{
    if (key == QLatin1String("string"))
        return m_string;
    if (key == QLatin1String("font"))
        return m_font;
    if (key == QLatin1String("fontSize"))
        return m_fontSize;
    if (key == QLatin1String("foregroundColor"))
        return m_foregroundColor;
    if (key == QLatin1String("alignmentMode"))
        return int(m_alignment);
    if (key == QLatin1String("wrapped"))
        return m_wrapped;
    return Layer::valueForKey(key);
}

bool TextLayer::storeValue(const QString &key, const QVariant &value)
{
    if (key == QLatin1String("string"))
        m_string = value.toString();
    else if (key == QLatin1String("font"))
        m_font = value.value<QFont>();
    else if (key == QLatin1String("fontSize"))
        m_fontSize = value.toDouble();
    else if (key == QLatin1String("foregroundColor"))
        m_foregroundColor = value.value<QColor>();
    else if (key == QLatin1String("alignmentMode"))
        m_alignment = Alignment(value.toInt());
    else if (key == QLatin1String("wrapped"))
        m_wrapped = value.toBool();
    else
        return Layer::storeValue(key, value);
    return true;
}

bool TextLayer::isAnimatableKey(const QString &key) const
{
    return key == QLatin1String("fontSize") || key == QLatin1String("foregroundColor") ||
           Layer::isAnimatableKey(key);
}

LayerPtr TextLayer::makeModelCopy() const
{
    auto copy = std::make_shared<TextLayer>();
    copy->copyModelValuesFrom(*this);
    copy->m_string = m_string;
    copy->m_font = m_font;
    copy->m_fontSize = m_fontSize;
    copy->m_foregroundColor = m_foregroundColor;
    copy->m_alignment = m_alignment;
    copy->m_wrapped = m_wrapped;
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
