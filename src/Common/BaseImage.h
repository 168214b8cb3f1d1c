#pragma once

#include <QImage>
#include <QSizeF>

// Redraws pictures at a given size (in points; the source's device pixel ratio is kept).
class BaseImage
{
public:
    // Same size: an unscaled copy. Same aspect ratio: the whole picture scaled into the target. Otherwise the
    // picture is scaled to cover the target and centred, and the result is the target size (a centred crop).
    static QImage resizeImage(const QImage &image, const QSizeF &size);
};
