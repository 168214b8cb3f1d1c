#pragma once

#include "Platform/Values/Object.h"

#include <cstdint>

namespace platform {

class String final : public Object
{
public:
    explicit String(QString value = {}) : m_value(std::move(value)) {}
    static std::shared_ptr<String> make(const QString &value) { return std::make_shared<String>(value); }

    const QString &value() const { return m_value; }
    void setValue(const QString &value) { m_value = value; }

    QString description() const override { return m_value; }
    bool isEqual(const Object &other) const override;

    // Non-localised text-to-number conversions: leading blanks, optional sign, the longest numeric prefix.
    // Integers saturate at the type's range; text that does not start with a number gives zero.
    int64_t longLongValue() const;
    int32_t intValue() const;
    bool boolValue() const;
    double doubleValue() const;
    float floatValue() const;

private:
    QString m_value;
};

using StringPtr = std::shared_ptr<String>;

} // namespace platform
