#include "Platform/Values/Number.h"

#include <QLocale>
#include <cmath>
#include <limits>

namespace platform {

int64_t saturatingInt64(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= 9223372036854775808.0)
        return std::numeric_limits<int64_t>::max();
    if (value < -9223372036854775808.0)
        return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(value);
}

uint64_t saturatingUInt64(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= 18446744073709551616.0)
        return std::numeric_limits<uint64_t>::max();
    if (value < 0)
        return static_cast<uint64_t>(saturatingInt64(value));
    return static_cast<uint64_t>(value);
}

std::shared_ptr<Number> Number::fromBool(bool v)
{
    auto n = std::shared_ptr<Number>(new Number(Type::Bool));
    n->m_value.i = v ? 1 : 0;
    return n;
}

std::shared_ptr<Number> Number::fromChar(int8_t v)
{
    auto n = std::shared_ptr<Number>(new Number(Type::Char));
    n->m_value.i = v;
    return n;
}

std::shared_ptr<Number> Number::fromShort(int16_t v)
{
    auto n = std::shared_ptr<Number>(new Number(Type::Short));
    n->m_value.i = v;
    return n;
}

std::shared_ptr<Number> Number::fromInt(int32_t v)
{
    auto n = std::shared_ptr<Number>(new Number(Type::Int));
    n->m_value.i = v;
    return n;
}

std::shared_ptr<Number> Number::fromLongLong(int64_t v)
{
    auto n = std::shared_ptr<Number>(new Number(Type::LongLong));
    n->m_value.i = v;
    return n;
}

std::shared_ptr<Number> Number::fromUnsignedLongLong(uint64_t v)
{
    auto n = std::shared_ptr<Number>(new Number(Type::UnsignedLongLong));
    n->m_value.u = v;
    return n;
}

std::shared_ptr<Number> Number::fromFloat(float v)
{
    auto n = std::shared_ptr<Number>(new Number(Type::Float));
    n->m_value.d = v;
    return n;
}

std::shared_ptr<Number> Number::fromDouble(double v)
{
    auto n = std::shared_ptr<Number>(new Number(Type::Double));
    n->m_value.d = v;
    return n;
}

bool Number::isFloatingPoint() const
{
    const Type t = type();
    return t == Type::Float || t == Type::Double || t == Type::Decimal;
}

bool Number::boolValue() const
{
    if (isFloatingPoint())
        return doubleValue() != 0.0;
    return m_type == Type::UnsignedLongLong ? m_value.u != 0 : m_value.i != 0;
}

int64_t Number::longLongValue() const
{
    switch (m_type) {
    case Type::Float:
    case Type::Double:
        return saturatingInt64(m_value.d);
    case Type::UnsignedLongLong:
        return static_cast<int64_t>(m_value.u);
    default:
        return m_value.i;
    }
}

uint64_t Number::unsignedLongLongValue() const
{
    switch (m_type) {
    case Type::Float:
    case Type::Double:
        return saturatingUInt64(m_value.d);
    case Type::UnsignedLongLong:
        return m_value.u;
    default:
        return static_cast<uint64_t>(m_value.i);
    }
}

double Number::doubleValue() const
{
    switch (m_type) {
    case Type::Float:
    case Type::Double:
        return m_value.d;
    case Type::UnsignedLongLong:
        return static_cast<double>(m_value.u);
    default:
        return static_cast<double>(m_value.i);
    }
}

QString Number::stringValue() const
{
    switch (m_type) {
    case Type::Float:
        return QString::number(static_cast<float>(m_value.d), 'g', QLocale::FloatingPointShortest);
    case Type::Double:
        return QString::number(m_value.d, 'g', QLocale::FloatingPointShortest);
    case Type::UnsignedLongLong:
        return QString::number(m_value.u);
    default:
        return QString::number(m_value.i);
    }
}

bool Number::isEqual(const Object &other) const
{
    auto *n = dynamic_cast<const Number *>(&other);
    if (!n)
        return false;
    if (isFloatingPoint() || n->isFloatingPoint())
        return doubleValue() == n->doubleValue();
    const bool thisUnsigned = type() == Type::UnsignedLongLong;
    const bool otherUnsigned = n->type() == Type::UnsignedLongLong;
    if (thisUnsigned == otherUnsigned)
        return unsignedLongLongValue() == n->unsignedLongLongValue();
    // Mixed signedness: a negative value never equals an unsigned one.
    const Number &s = thisUnsigned ? *n : *this;
    const Number &u = thisUnsigned ? *this : *n;
    return s.longLongValue() >= 0 && static_cast<uint64_t>(s.longLongValue()) == u.unsignedLongLongValue();
}

} // namespace platform
