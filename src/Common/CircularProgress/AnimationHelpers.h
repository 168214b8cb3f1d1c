#pragma once

#include <QColor>
#include <QEasingCurve>
#include <QVariantAnimation>

class QWidget;

// Timing curves and animations shared by the progress view, its parts and the styled button.
namespace AnimationHelpers {

// A cubic Bézier timing curve from (0, 0) to (1, 1) through the two control points.
QEasingCurve bezierCurve(double x1, double y1, double x2, double y2);
// (0.25, 0.1, 0.25, 1): the fade-in.
QEasingCurve defaultTiming();
// (0, 0, 0.58, 1): the ring's moves and the checkmark's drawing.
QEasingCurve easeOutTiming();

// A colour on screen, a child of the view, that moves to new values by transitions; each step repaints the
// view.
QVariantAnimation *colorTransition(QWidget *view, const QColor &initial);
QColor shownColor(const QVariantAnimation &transition);
// Moves from the colour shown to the target over the duration and holds it there; nothing happens when the
// colour shown, or the one a running transition heads for, is the target already.
void animateColor(QVariantAnimation &transition, const QColor &target, double seconds);

// The spinner's turn: 0° to 360° clockwise on screen, one turn a second at an even pace, for ever.
void makeSpinnerRotation(QVariantAnimation &rotation);

} // namespace AnimationHelpers
