#include "Platform/Layers/BasicAnimation.h"

#include "Platform/Layers/LayerValues.h"

namespace platform {

BasicAnimation::BasicAnimation(const QString &keyPath)
{
    setKeyPath(keyPath);
}

std::shared_ptr<Animation> BasicAnimation::clone() const
{
    return std::make_shared<BasicAnimation>(*this);
}

QVariant BasicAnimation::valueAt(double progress, const QVariant &underlying) const
{
    const QVariant from = m_from.isValid() ? m_from : underlying;
    const QVariant to = m_to.isValid() ? m_to : underlying;
    return LayerValues::interpolate(from, to, progress);
}

} // namespace platform
