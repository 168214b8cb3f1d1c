#pragma once

#include <QColor>
#include <QEasingCurve>
#include <QVariantAnimation>

class QWidget;

// Timing curves and animations shared by the progress view, its parts and the styled button.
namespace AnimationHelpers {

// (0.25, 0.1, 0.25, 1): the fade-in.
QEasingCurve defaultTiming();
// (0, 0, 0.58, 1): the ring's moves and the checkmark's drawing.
QEasingCurve easeOutTiming();

// A colour on screen, a child of the view, that moves to new values by transitions; each step repaints the
// view. Its current value is the colour shown.
QVariantAnimation *colorTransition(QWidget *view, const QColor &initial);
// Moves from the colour shown to the target over the duration and holds it there; nothing happens when the
// colour shown, or the one a running transition heads for, is the target already.
void animateColor(QVariantAnimation &transition, const QColor &target, double seconds);

} // namespace AnimationHelpers
