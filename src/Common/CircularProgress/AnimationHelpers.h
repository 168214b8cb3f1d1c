#pragma once

#include "Platform/Layers/Animation.h"
#include "Platform/Layers/Layer.h"
#include "Platform/Layers/TimingFunction.h"

#include <QColor>
#include <functional>

// Animation helpers shared by the progress view, its layers and the styled button.
namespace AnimationHelpers {

platform::TimingFunction defaultTiming();
platform::TimingFunction easeOutTiming();

// Queues on the main queue, to run after the delay (always later than this call, even at 0), one layer
// transaction with the duration and timing function that makes the changes; the completion, when given,
// runs once the animations the changes started have stopped.
void timedLayerAnimation(double duration, double delay, const platform::TimingFunction &timing,
                         std::function<void()> changes, std::function<void()> completion = {});

// Animates the colour under the key path from the layer's model value to the target, holding the target
// afterwards; the model takes the target when the animation stops, finished or not. Nothing happens when
// the model already has the colour. A second call replaces a running one under the same key.
void animateLayerColor(const platform::LayerPtr &layer, const QColor &target, const QString &keyPath,
                       double duration);

// One clockwise turn (in y-up coordinates) per second, for ever, at an even pace.
std::shared_ptr<platform::Animation> spinnerRotation();

} // namespace AnimationHelpers
