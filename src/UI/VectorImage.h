#pragma once

#include <QImage>
#include <QPixmap>
#include <QSize>
#include <QString>

// Our SVG artwork, drawn through Qt's SVG image plugin. The plugin brings the SVG renderer in when a picture
// is first drawn, so a window whose first frame has no vector picture starts without loading it.
class VectorImage
{
public:
    // The picture stretched over pixels; a null image when the file cannot be read as SVG.
    static QImage image(const QString &path, const QSize &pixels);
    // The picture stretched over size (device-independent pixels) at the device pixel ratio scale; a
    // transparent pixmap of that size when the file cannot be read.
    static QPixmap pixmap(const QString &path, const QSize &size, qreal scale);
};
