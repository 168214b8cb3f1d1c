#pragma once

namespace platform {

class Animation;

// An animation's delegate. The animation holds it strongly, as the platform does.
class AnimationListener
{
public:
    virtual ~AnimationListener() = default;
    virtual void animationDidStart(const Animation &) {}
    // finished is false when the animation was removed or replaced before its end.
    virtual void animationDidStop(const Animation &animation, bool finished) = 0;
};

} // namespace platform
