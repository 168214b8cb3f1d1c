#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QRectF>
#include <QString>
#include <tuple>

class QPainter;

// A line of text centred in a frame from its top, drawn once into an image at the device's density and
// copied on later paints until the text, font, frame size, colour or density changes: large text is outside
// Qt's glyph cache, so drawing it on every frame of an animation would be slow.
class TextImage
{
public:
    QString string() const { return m_string; }
    void setString(const QString &string) { m_string = string; }
    // The font at a size in pixels; a size in points is taken as pixels, as points are the screen's units.
    QFont font() const { return m_font; }
    void setFont(const QFont &font, double size);
    double fontSize() const { return m_fontSize; }
    QRectF frame() const { return m_frame; }
    void setFrame(const QRectF &frame) { m_frame = frame; }
    bool isHidden() const { return m_hidden; }
    void setHidden(bool hidden) { m_hidden = hidden; }

    // The width of the text and the height of a line.
    QSizeF preferredSize() const;
    void paint(QPainter &painter, const QColor &color);

private:
    QString m_string;
    QFont m_font;
    double m_fontSize = 0;
    QRectF m_frame;
    bool m_hidden = false;
    // What the image shows: text, font, frame size, colour, density.
    std::tuple<QString, QFont, QSizeF, QColor, double> m_imageKey;
    QImage m_image;
};
