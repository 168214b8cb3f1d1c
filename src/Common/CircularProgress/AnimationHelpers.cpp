#include "Common/CircularProgress/AnimationHelpers.h"

#include "Common/CircularProgress/AnimationDelegate.h"
#include "Common/CircularProgress/ColorHelpers.h"
#include "Platform/Layers/BasicAnimation.h"
#include "Platform/Layers/Transaction.h"
#include "Platform/Runtime/Dispatch.h"

#include <numbers>

namespace AnimationHelpers {

using platform::TimingFunction;

TimingFunction defaultTiming()
{
    static const TimingFunction function = TimingFunction::named(TimingFunction::Name::Default);
    return function;
}

TimingFunction easeOutTiming()
{
    static const TimingFunction function = TimingFunction::named(TimingFunction::Name::EaseOut);
    return function;
}

void timedLayerAnimation(double duration, double delay, const TimingFunction &timing,
                         std::function<void()> changes, std::function<void()> completion)
{
    auto block = [duration, timing, changes = std::move(changes), completion = std::move(completion)] {
        platform::Transaction::begin();
        platform::Transaction::setAnimationDuration(duration);
        platform::Transaction::setAnimationTimingFunction(timing);
        if (completion)
            platform::Transaction::setCompletionBlock(completion);
        if (changes)
            changes();
        platform::Transaction::commit();
    };
    if (delay > 0)
        platform::Dispatch::mainAfter(delay, std::move(block));
    else
        platform::Dispatch::main(std::move(block));
}

void animateLayerColor(const platform::LayerPtr &layer, const QColor &target, const QString &keyPath,
                       double duration)
{
    if (!layer)
        return;
    // The model takes a colour only when its animation stops, so a transition still running decides where
    // the layer is heading; comparing with the model alone would let a quick press and release end in the
    // pressed colour.
    QVariant heading = layer->valueForKey(keyPath);
    if (auto running =
            std::dynamic_pointer_cast<const platform::BasicAnimation>(layer->animationForKey(keyPath));
        running && !running->hasStopped() && running->toValue().isValid())
        heading = running->toValue();
    if (heading.typeId() == QMetaType::QColor && ColorHelpers::sameColor(heading.value<QColor>(), target))
        return;

    platform::BasicAnimation animation(keyPath);
    // From the colour on screen, so a reversed transition does not jump.
    animation.setFromValue(layer->presentationLayer()->valueForKey(keyPath));
    animation.setToValue(target);
    animation.setDuration(duration);
    animation.setFillMode(platform::Animation::FillMode::Forwards);
    animation.setRemovedOnCompletion(false);

    auto delegate = std::make_shared<AnimationDelegate>();
    std::weak_ptr<platform::Layer> weakLayer = layer;
    delegate->setDidStopHandler([weakLayer, target, keyPath](bool) {
        auto strong = weakLayer.lock();
        if (!strong)
            return;
        // The model takes the end value quietly: the animation already showed the change.
        platform::Transaction::begin();
        platform::Transaction::setDisableActions(true);
        strong->setValueForKey(keyPath, target);
        platform::Transaction::commit();
    });
    animation.setDelegate(delegate);
    layer->addAnimation(animation, keyPath);
}

std::shared_ptr<platform::Animation> spinnerRotation()
{
    auto rotation = std::make_shared<platform::BasicAnimation>(QStringLiteral("transform"));
    rotation->setValueFunction(platform::Animation::ValueFunction::RotateZ);
    rotation->setFromValue(0.0);
    rotation->setToValue(-2.0 * std::numbers::pi);
    rotation->setDuration(1.0);
    rotation->setRepeatCount(platform::Animation::repeatForever);
    rotation->setTimingFunction(TimingFunction::named(TimingFunction::Name::Linear));
    return rotation;
}

} // namespace AnimationHelpers
