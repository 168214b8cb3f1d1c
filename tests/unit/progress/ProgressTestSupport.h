#pragma once

#include "ManualAnimationDriver.h"

#include <QColor>
#include <QCoreApplication>
#include <QImage>
#include <QWidget>
#include <algorithm>

namespace progresstest {

// Runs what is queued on the main queue (ring moves, display updates, fades).
inline void drain()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

// Moves the animations' clock forward in frame steps, letting queued work run in between.
inline void settle(ManualAnimationDriver &clock, double seconds)
{
    const int frames = std::max(1, int(seconds * 60.0 + 0.5));
    for (int i = 0; i < frames; ++i)
        clock.advance(seconds / frames);
    drain();
}

// The view's painting with the views inside it, on a transparent image at the given density.
inline QImage render(QWidget &view, double scale = 1.0)
{
    QImage image(view.size() * scale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    view.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    image.setDevicePixelRatio(1.0);
    return image;
}

inline bool sameRgb(const QColor &a, const QColor &b, int tolerance = 2)
{
    return a.isValid() && b.isValid() && std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance && std::abs(a.blue() - b.blue()) <= tolerance &&
           std::abs(a.alpha() - b.alpha()) <= tolerance;
}

// The strongest coverage in a small square around a pixel, so probes do not depend on exact rasterisation.
inline int maxAlphaAround(const QImage &image, int x, int y, int radius = 1)
{
    int best = 0;
    for (int dy = -radius; dy <= radius; ++dy)
        for (int dx = -radius; dx <= radius; ++dx) {
            const QPoint p(x + dx, y + dy);
            if (image.rect().contains(p))
                best = std::max(best, qAlpha(image.pixel(p)));
        }
    return best;
}

inline int opaquePixelsIn(const QImage &image, const QRect &area, int minimumAlpha = 200)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.rect().contains(x, y) && qAlpha(image.pixel(x, y)) >= minimumAlpha)
                ++count;
    return count;
}

} // namespace progresstest
