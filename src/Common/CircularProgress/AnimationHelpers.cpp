#include "Common/CircularProgress/AnimationHelpers.h"

#include "Common/CircularProgress/ColorHelpers.h"

#include <QWidget>

namespace {

// A cubic Bézier timing curve from (0, 0) to (1, 1) through the two control points.
QEasingCurve bezierCurve(double x1, double y1, double x2, double y2)
{
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(QPointF(x1, y1), QPointF(x2, y2), QPointF(1.0, 1.0));
    return curve;
}

} // namespace

namespace AnimationHelpers {

QEasingCurve defaultTiming()
{
    static const QEasingCurve curve = bezierCurve(0.25, 0.1, 0.25, 1.0);
    return curve;
}

QEasingCurve easeOutTiming()
{
    static const QEasingCurve curve = bezierCurve(0.0, 0.0, 0.58, 1.0);
    return curve;
}

QVariantAnimation *colorTransition(QWidget *view, const QColor &initial)
{
    auto *transition = new QVariantAnimation(view);
    // Both ends alike: the value is the colour whatever the animation's time.
    transition->setStartValue(initial);
    transition->setEndValue(initial);
    QObject::connect(transition, &QVariantAnimation::valueChanged, view, qOverload<>(&QWidget::update));
    return transition;
}

void animateColor(QVariantAnimation &transition, const QColor &target, double seconds)
{
    const QColor shown = transition.currentValue().value<QColor>();
    const bool running = transition.state() == QAbstractAnimation::Running;
    if (ColorHelpers::sameColor(running ? transition.endValue().value<QColor>() : shown, target))
        return;
    transition.stop();
    transition.setDuration(int(seconds * 1000.0));
    transition.setStartValue(shown);
    transition.setEndValue(target);
    transition.start();
}

} // namespace AnimationHelpers
