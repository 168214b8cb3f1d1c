#pragma once

#include "Platform/Layers/Animation.h"

#include <QList>
#include <QVariantList>

namespace platform {

// Moves a property through a list of values. Key times (0…1, one per value) default to even spacing; the
// timing functions pace each segment between two values, the missing ones linearly.
class KeyframeAnimation : public Animation
{
public:
    explicit KeyframeAnimation(const QString &keyPath = {});
    KeyframeAnimation(const KeyframeAnimation &other) = default;

    std::shared_ptr<Animation> clone() const override;

    QVariantList values() const { return m_values; }
    void setValues(const QVariantList &values) { m_values = values; }
    QList<double> keyTimes() const { return m_keyTimes; }
    void setKeyTimes(const QList<double> &keyTimes) { m_keyTimes = keyTimes; }
    QList<TimingFunction> timingFunctions() const { return m_timingFunctions; }
    void setTimingFunctions(const QList<TimingFunction> &functions) { m_timingFunctions = functions; }

protected:
    QVariant valueAt(double progress, const QVariant &underlying) const override;

private:
    double keyTime(qsizetype index) const;

    QVariantList m_values;
    QList<double> m_keyTimes;
    QList<TimingFunction> m_timingFunctions;
};

} // namespace platform
