#pragma once

#include <QVariant>

namespace platform {

// Interpolation between two values of an animatable layer property: numbers, points, sizes, rectangles,
// colours (a missing colour counts as the other one made transparent), 2-D transforms and paths with the
// same elements. Other kinds switch from one value to the other at the end.
namespace LayerValues {

QVariant interpolate(const QVariant &from, const QVariant &to, double progress);
bool isNumeric(const QVariant &value);

} // namespace LayerValues

} // namespace platform
