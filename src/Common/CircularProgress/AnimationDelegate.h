#pragma once

#include "Platform/Layers/AnimationListener.h"

#include <functional>

// Turns an animation's did-stop message into a callback.
class AnimationDelegate : public platform::AnimationListener
{
public:
    using DidStopHandler = std::function<void(bool finished)>;

    AnimationDelegate() = default;

    DidStopHandler didStopHandler() const { return m_didStopHandler; }
    void setDidStopHandler(DidStopHandler handler) { m_didStopHandler = std::move(handler); }

    void animationDidStop(const platform::Animation &animation, bool finished) override;

private:
    DidStopHandler m_didStopHandler;
};
