#include "Common/CircularProgress/AnimationDelegate.h"

void AnimationDelegate::animationDidStop(const platform::Animation &, bool finished)
{
    if (m_didStopHandler)
        m_didStopHandler(finished);
}
