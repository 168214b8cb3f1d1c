#include "Platform/Text/TextMetrics.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <algorithm>

namespace platform {

namespace {
// A text field's cell keeps this much padding on each side of its text.
constexpr double kHorizontalPadding = 2.0;
} // namespace

double TextMetrics::wrappedTextHeight(double width, double maxHeight, double pointSize, const QString &text)
{
    // A process without a GUI application (the command line) has no fonts to measure with.
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return 0;
    QFont font = QGuiApplication::font();
    font.setPointSizeF(pointSize);
    const QFontMetricsF metrics(font);
    const QRectF bounds(0, 0, std::max(1.0, width - 2 * kHorizontalPadding), maxHeight);
    const QRectF used = metrics.boundingRect(bounds, Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, text);
    return std::min(maxHeight, std::max(used.height(), metrics.height()));
}

} // namespace platform
