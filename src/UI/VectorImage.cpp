#include "UI/VectorImage.h"

#include <QImageReader>

QImage VectorImage::image(const QString &path, const QSize &pixels)
{
    QImageReader reader(path, "svg");
    reader.setScaledSize(pixels);
    QImage picture = reader.read();
    return picture.size() == pixels ? picture : QImage();
}

QPixmap VectorImage::pixmap(const QString &path, const QSize &size, qreal scale)
{
    const QSize pixels = (QSizeF(size) * scale).toSize();
    QPixmap pixmap;
    if (const QImage picture = image(path, pixels); !picture.isNull()) {
        pixmap = QPixmap::fromImage(picture);
    } else {
        pixmap = QPixmap(pixels);
        pixmap.fill(Qt::transparent);
    }
    pixmap.setDevicePixelRatio(scale);
    return pixmap;
}
