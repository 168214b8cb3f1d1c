#include "Common/SafeValue.h"

#include "Platform/Text/DateFormatter.h"
#include "Platform/Text/NumberFormatter.h"
#include "Platform/Values/Null.h"

using namespace platform;

namespace SafeValue {

StringPtr string(const ObjectPtr &value)
{
    if (auto s = as<String>(value))
        return s;
    if (auto n = as<Number>(value))
        return String::make(n->stringValue());
    return {};
}

NumberPtr number(const ObjectPtr &value)
{
    if (auto n = as<Number>(value))
        return n;
    if (auto s = as<String>(value))
        return NumberFormatter(NumberFormatter::Style::Decimal).numberFromString(s->value());
    return {};
}

DecimalNumberPtr decimalNumber(const ObjectPtr &value)
{
    if (auto d = as<DecimalNumber>(value))
        return d;
    if (auto n = as<Number>(value))
        return DecimalNumber::fromNumber(*n);
    if (auto s = as<String>(value))
        return s->value().isEmpty() ? DecimalNumberPtr() : DecimalNumber::fromString(s->value());
    return {};
}

ArrayPtr array(const ObjectPtr &value)
{
    return as<Array>(value);
}

DictionaryPtr dictionary(const ObjectPtr &value)
{
    return as<Dictionary>(value);
}

DatePtr date(const ObjectPtr &value, const QString &pattern)
{
    auto s = as<String>(value);
    if (!s || s->value().isEmpty() || pattern.isNull())
        return {};
    return DateFormatter(pattern).dateFromString(s->value());
}

int64_t int64Value(const ObjectPtr &value)
{
    if (auto s = as<String>(value))
        return s->longLongValue();
    if (auto n = as<Number>(value))
        return n->longLongValue();
    return 0;
}

int32_t int32Value(const ObjectPtr &value)
{
    if (auto s = as<String>(value))
        return s->intValue();
    if (auto n = as<Number>(value))
        return n->intValue();
    return 0;
}

int16_t int16Value(const ObjectPtr &value)
{
    if (auto s = as<String>(value))
        return static_cast<int16_t>(s->intValue());
    if (auto n = as<Number>(value))
        return n->shortValue();
    return 0;
}

int8_t charValue(const ObjectPtr &value)
{
    // Text takes the int32 conversion and keeps the low 8 bits, as the 16-bit readers do with 16.
    if (auto s = as<String>(value))
        return static_cast<int8_t>(s->intValue());
    if (auto n = as<Number>(value))
        return n->charValue();
    return 0;
}

uint64_t uint64Value(const ObjectPtr &value)
{
    if (auto n = as<Number>(value))
        return n->unsignedLongLongValue();
    if (auto s = as<String>(value)) {
        NumberPtr parsed = NumberFormatter(NumberFormatter::Style::Plain).numberFromString(s->value());
        return parsed ? parsed->unsignedLongLongValue() : 0;
    }
    return 0;
}

bool boolValue(const ObjectPtr &value)
{
    if (auto s = as<String>(value))
        return s->boolValue();
    if (auto n = as<Number>(value))
        return n->boolValue();
    return false;
}

float floatValue(const ObjectPtr &value)
{
    if (auto s = as<String>(value))
        return s->floatValue();
    if (auto n = as<Number>(value))
        return n->floatValue();
    return 0.0f;
}

double doubleValue(const ObjectPtr &value)
{
    if (auto s = as<String>(value))
        return s->doubleValue();
    if (auto n = as<Number>(value))
        return n->doubleValue();
    return 0.0;
}

double cgFloatValue(const ObjectPtr &value)
{
    return doubleValue(value);
}

} // namespace SafeValue
