#pragma once

#include "Platform/Layers/Animation.h"

namespace platform {

// Moves a property from one value to another. A missing end takes the value beneath the animation
// (the model value, or what earlier animations make of it).
class BasicAnimation : public Animation
{
public:
    explicit BasicAnimation(const QString &keyPath = {});
    BasicAnimation(const BasicAnimation &other) = default;

    std::shared_ptr<Animation> clone() const override;

    QVariant fromValue() const { return m_from; }
    void setFromValue(const QVariant &value) { m_from = value; }
    QVariant toValue() const { return m_to; }
    void setToValue(const QVariant &value) { m_to = value; }

protected:
    QVariant valueAt(double progress, const QVariant &underlying) const override;

private:
    QVariant m_from;
    QVariant m_to;
};

} // namespace platform
