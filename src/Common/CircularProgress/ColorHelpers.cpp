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
    // Computed once: the first caller fixes it for the process, as the platform's accent colour is fixed
    // for a run. A grey highlight is a theme without an accent, where the blue reads better.
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
    const QColor hsv = color.isValid() ? color.toHsv() : color;
    if (!hsv.isValid())
        return color;
    float h = 0, s = 0, v = 0, a = 0;
    hsv.getHsvF(&h, &s, &v, &a);
    // Achromatic colours report hue −1; keep it so the result stays achromatic.
    const float hue = h < 0 ? h : std::clamp(float(h * (1.0 + hueDelta)), 0.0f, 1.0f);
    const float sat = std::clamp(float(s * (1.0 + saturationDelta)), 0.0f, 1.0f);
    const float val = std::clamp(float(v * (1.0 + brightnessDelta)), 0.0f, 1.0f);
    const float alpha = std::clamp(float(a * (1.0 + alphaDelta)), 0.0f, 1.0f);
    return QColor::fromHsvF(hue, sat, val, alpha).toRgb();
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
