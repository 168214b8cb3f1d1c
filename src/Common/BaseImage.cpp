#include "Common/BaseImage.h"

#include <QPainter>
#include <cmath>

QImage BaseImage::resizeImage(const QImage &image, const QSizeF &size)
{
    const qreal ratio = image.isNull() ? 1.0 : image.devicePixelRatio();
    const QSizeF source = image.isNull() ? QSizeF(0, 0) : image.deviceIndependentSize();
    const qreal w0 = source.width(), h0 = source.height();
    const qreal W = size.width(), H = size.height();

    QSizeF canvas(W, H);
    QRectF target(0, 0, W, H);
    if (w0 == W && h0 == H) {
        target = QRectF(0, 0, w0, h0);
    } else if (w0 > 0 && h0 > 0) {
        const qreal s = std::max(W / w0, H / h0);
        const QSizeF scaled(std::ceil(w0 * s), std::ceil(h0 * s));
        if (W / w0 == H / h0) {
            canvas = scaled;
            target = QRectF(QPointF(0, 0), scaled);
        } else {
            // The overflowing axis gets a negative offset; the canvas keeps the target size, so the
            // result is the centred crop rather than a picture shifted off one edge of a larger canvas.
            target = QRectF(QPointF((W - scaled.width()) / 2, (H - scaled.height()) / 2), scaled);
        }
    }

    const QSize pixels(std::max(0, static_cast<int>(std::ceil(canvas.width() * ratio))),
                       std::max(0, static_cast<int>(std::ceil(canvas.height() * ratio))));
    QImage result(pixels, QImage::Format_ARGB32_Premultiplied);
    if (result.isNull())
        return result;
    result.setDevicePixelRatio(ratio);
    result.fill(Qt::transparent);
    if (!image.isNull()) {
        QPainter painter(&result);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, image);
    }
    return result;
}
