#pragma once

#include "Platform/Layers/ShapeLayer.h"
#include "Platform/Layers/TextLayer.h"

#include <QColor>
#include <QFont>
#include <optional>

// Builders for the layers of the progress view.
namespace LayerHelpers {

// A shape layer whose path is a full circle of radius r around c, counter-clockwise from 0°.
platform::ShapeLayerPtr circleLayer(double radius, const QPointF &center);
// A text layer whose text changes never animate, at the screen's backing scale (2 without a screen).
platform::TextLayerPtr textLayer(const QString &text, std::optional<double> fontSize = std::nullopt,
                                 const QColor &color = QColor());
// An invalid colour clears the layer's foreground colour.
void setTextLayerColor(const platform::TextLayerPtr &layer, const QColor &color);
// The percentage label's face: a light sans serif that also covers CJK. Made once per process; its size is
// not used (the text layer's font size applies).
QFont labelFont();
// The system font at a size in points: the application's font, its CJK face first, as the interface is in
// Simplified Chinese (and that face also draws symbols such as "╳" square).
QFont systemFont(double pointSize);
// The backing scale of the primary screen, or 2 when there is none.
double screenScale();

} // namespace LayerHelpers
