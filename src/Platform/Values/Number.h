#pragma once

#include "Platform/Values/Object.h"

#include <cstdint>

namespace platform {

// A boxed scalar that remembers the type it was made from, like the platform's number class. Conversions
// follow C: floating values truncate toward zero (saturating), narrower integers keep the low bits.
class Number : public Object
{
public:
    enum class Type
    {
        Bool,
        Char,
        Short,
        Int,
        LongLong,
        UnsignedLongLong,
        Float,
        Double,
        Decimal
    };

    static std::shared_ptr<Number> fromBool(bool v);
    static std::shared_ptr<Number> fromChar(int8_t v);
    static std::shared_ptr<Number> fromShort(int16_t v);
    static std::shared_ptr<Number> fromInt(int32_t v);
    static std::shared_ptr<Number> fromLongLong(int64_t v);
    static std::shared_ptr<Number> fromUnsignedLongLong(uint64_t v);
    static std::shared_ptr<Number> fromFloat(float v);
    static std::shared_ptr<Number> fromDouble(double v);

    virtual Type type() const { return m_type; }
    bool isBool() const { return type() == Type::Bool; }
    bool isFloatingPoint() const;

    virtual bool boolValue() const;
    int8_t charValue() const { return static_cast<int8_t>(longLongValue()); }
    int16_t shortValue() const { return static_cast<int16_t>(longLongValue()); }
    int32_t intValue() const { return static_cast<int32_t>(longLongValue()); }
    virtual int64_t longLongValue() const;
    virtual uint64_t unsignedLongLongValue() const;
    float floatValue() const { return static_cast<float>(doubleValue()); }
    virtual double doubleValue() const;

    // Decimal text: integers as plain digits, booleans as 1 or 0, floating values in shortest round-trip
    // form.
    virtual QString stringValue() const;
    QString description() const override { return stringValue(); }
    bool isEqual(const Object &other) const override;

protected:
    explicit Number(Type type) : m_type(type) {}

private:
    Type m_type;
    union {
        int64_t i;
        uint64_t u;
        double d;
    } m_value{};
};

using NumberPtr = std::shared_ptr<Number>;

// Saturating double-to-int64 conversion shared by the number kinds; NaN gives 0.
int64_t saturatingInt64(double value);
uint64_t saturatingUInt64(double value);

} // namespace platform
