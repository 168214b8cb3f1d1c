#pragma once

#include <QColor>

// Colours shared by the progress view, its parts and the styled button.
namespace ColorHelpers {

// The desktop's accent colour (the palette's highlight) when it is a real colour, else fallbackBlue().
// Made once per process.
QColor sharedDefaultColor();
// Red 0.1, green 0.47, blue 0.98.
QColor fallbackBlue();
// Each of hue, saturation, brightness and alpha multiplied by (1 + its delta), kept within 0…1.
QColor adjusted(const QColor &color, double hueDelta = 0, double saturationDelta = 0,
                double brightnessDelta = 0, double alphaDelta = 0);
QColor withAlpha(const QColor &color, double alpha);
// Same components, whatever colour model either is stored in.
bool sameColor(const QColor &a, const QColor &b);

} // namespace ColorHelpers
