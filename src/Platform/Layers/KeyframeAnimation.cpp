#include "Platform/Layers/KeyframeAnimation.h"

#include "Platform/Layers/LayerValues.h"

namespace platform {

KeyframeAnimation::KeyframeAnimation(const QString &keyPath)
{
    setKeyPath(keyPath);
}

std::shared_ptr<Animation> KeyframeAnimation::clone() const
{
    return std::make_shared<KeyframeAnimation>(*this);
}

double KeyframeAnimation::keyTime(qsizetype index) const
{
    if (m_keyTimes.size() == m_values.size())
        return m_keyTimes.at(index);
    return m_values.size() > 1 ? double(index) / double(m_values.size() - 1) : 0.0;
}

QVariant KeyframeAnimation::valueAt(double progress, const QVariant &underlying) const
{
    if (m_values.isEmpty())
        return underlying;
    if (m_values.size() == 1 || progress <= keyTime(0))
        return m_values.first();
    const qsizetype last = m_values.size() - 1;
    if (progress >= keyTime(last))
        return m_values.last();

    qsizetype segment = 0;
    while (segment < last - 1 && progress >= keyTime(segment + 1))
        ++segment;
    const double start = keyTime(segment);
    const double span = keyTime(segment + 1) - start;
    double local = span > 0 ? (progress - start) / span : 1.0;
    if (segment < m_timingFunctions.size())
        local = m_timingFunctions.at(segment).valueAt(local);
    return LayerValues::interpolate(m_values.at(segment), m_values.at(segment + 1), local);
}

} // namespace platform
