#include "Common/CircularProgress/AnimationHelpers.h"

#include "Common/CircularProgress/ColorHelpers.h"

#include <QWidget>

namespace AnimationHelpers {

QEasingCurve bezierCurve(double x1, double y1, double x2, double y2)
{
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(QPointF(x1, y1), QPointF(x2, y2), QPointF(1.0, 1.0));
    return curve;
}

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

QColor shownColor(const QVariantAnimation &transition)
{
    return transition.currentValue().value<QColor>();
}

void animateColor(QVariantAnimation &transition, const QColor &target, double seconds)
{
    const QColor shown = shownColor(transition);
    const bool running = transition.state() == QAbstractAnimation::Running;
    if (ColorHelpers::sameColor(running ? transition.endValue().value<QColor>() : shown, target))
        return;
    transition.stop();
    transition.setDuration(int(seconds * 1000.0));
    transition.setStartValue(shown);
    transition.setEndValue(target);
    transition.start();
}

void makeSpinnerRotation(QVariantAnimation &rotation)
{
    rotation.setStartValue(0.0);
    rotation.setEndValue(360.0);
    rotation.setDuration(1000);
    rotation.setLoopCount(-1);
}

} // namespace AnimationHelpers
