#include "Common/CircularProgress/ColorHelpers.h"

#include <QGuiApplication>
#include <QPalette>
#include <algorithm>

namespace ColorHelpers {

QColor fallbackBlue()
{
    return QColor::fromRgbF(0.1f, 0.47f, 0.98f, 1.0f);
}

QColor sharedDefaultColor()
{
    // The accent colour is fixed for a run. A grey highlight is a theme without an accent, where the blue
    // reads better.
    static const QColor color = [] {
        if (qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
            const QColor highlight = QGuiApplication::palette().color(QPalette::Active, QPalette::Highlight);
            if (highlight.isValid() && highlight.hsvSaturationF() >= 0.2f)
                return highlight.toRgb();
        }
        return fallbackBlue();
    }();
    return color;
}

QColor adjusted(const QColor &color, double hueDelta, double saturationDelta, double brightnessDelta,
                double alphaDelta)
{
    if (!color.isValid())
        return color;
    float h = 0, s = 0, v = 0, a = 0;
    color.toHsv().getHsvF(&h, &s, &v, &a);
    auto scale = [](float value, double delta) {
        return std::clamp(float(value * (1.0 + delta)), 0.0f, 1.0f);
    };
    // Achromatic colours have hue −1; it is kept so that they stay achromatic.
    return QColor::fromHsvF(h < 0 ? h : scale(h, hueDelta), scale(s, saturationDelta),
                            scale(v, brightnessDelta), scale(a, alphaDelta))
        .toRgb();
}

QColor withAlpha(const QColor &color, double alpha)
{
    QColor result = color.toRgb();
    result.setAlphaF(float(std::clamp(alpha, 0.0, 1.0)));
    return result;
}

bool sameColor(const QColor &a, const QColor &b)
{
    if (!a.isValid() || !b.isValid())
        return a.isValid() == b.isValid();
    return a.rgba64() == b.rgba64();
}

} // namespace ColorHelpers
