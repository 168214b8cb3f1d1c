#pragma once

#include "Platform/Layers/Layer.h"

#include <QFont>
#include <QString>

namespace platform {

// A layer that draws a string from the top of its bounds, in one font at the layer's font size (in layer
// units, that is points). The font's own size is not used. The text is rendered once into a backing image
// at the contents scale (so a scale below the screen's looks soft, as on the platform).
class TextLayer : public Layer
{
public:
    enum class Alignment
    {
        Natural,
        Left,
        Right,
        Center,
        Justified
    };

    struct Keys : Layer::Keys
    {
        static constexpr LayerKey<QString> string{"string"};
        static constexpr LayerKey<QFont> font{"font"};
        static constexpr LayerKey<double> fontSize{"fontSize"};
        static constexpr LayerKey<QColor> foregroundColor{"foregroundColor"};
        static constexpr LayerKey<Alignment> alignmentMode{"alignmentMode"};
        static constexpr LayerKey<bool> wrapped{"wrapped"};
    };

    TextLayer();
    static std::shared_ptr<TextLayer> create();

    QString string() const { return m_string; }
    void setString(const QString &string);
    QFont font() const { return m_font; }
    void setFont(const QFont &font);
    // 36 by default, as on the platform.
    double fontSize() const { return m_fontSize; }
    void setFontSize(double size);
    // Opaque white by default; an invalid colour draws nothing.
    QColor foregroundColor() const { return m_foregroundColor; }
    void setForegroundColor(const QColor &color);
    Alignment alignmentMode() const { return m_alignment; }
    void setAlignmentMode(Alignment alignment);
    bool isWrapped() const { return m_wrapped; }
    void setWrapped(bool wrapped);

    // The font at the layer's size, as it is drawn.
    QFont renderFont() const;
    // The size the text needs: its width, and the line height times the number of lines.
    QSizeF preferredFrameSize() const override;

protected:
    const LayerPropertyTable &propertyTable() const override;
    LayerPtr makeModelCopy() const override;
    void drawContents(QPainter &painter) const override;

private:
    struct Cache;

    QString m_string;
    QFont m_font;
    double m_fontSize = 36.0;
    QColor m_foregroundColor{Qt::white};
    Alignment m_alignment = Alignment::Natural;
    bool m_wrapped = false;
    // Shared with presentation copies, so the rendered text survives frames of animations of other
    // properties.
    std::shared_ptr<Cache> m_cache;
};

using TextLayerPtr = std::shared_ptr<TextLayer>;

} // namespace platform
