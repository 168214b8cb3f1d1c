#pragma once

#include <QString>

namespace platform {

// Text measurement in the application's system font (the text-field cell stand-in).
class TextMetrics
{
public:
    // Height in points that the text needs when wrapped at the width, in the system font at the point
    // size, limited to maxHeight. An empty text still needs one line, as a text field does.
    static double wrappedTextHeight(double width, double maxHeight, double pointSize, const QString &text);
};

} // namespace platform
