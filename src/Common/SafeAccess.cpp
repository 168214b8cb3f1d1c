#include "Common/SafeAccess.h"

#include "Common/SafeValue.h"
#include "Platform/Values/Null.h"

using namespace platform;

namespace SafeAccess {

namespace {

void store(const DictionaryPtr &d, ObjectPtr value, const QString &key)
{
    if (d && !key.isNull() && value)
        d->setValue(key, std::move(value));
}

void append(const ArrayPtr &a, ObjectPtr value)
{
    if (a && value)
        a->append(std::move(value));
}

} // namespace

void safe_setObj(const DictionaryPtr &d, const ObjectPtr &object, const QString &key)
{
    store(d, object, key);
}

void safe_setString(const DictionaryPtr &d, const QString &string, const QString &key)
{
    safe_setString(d, string.isNull() ? StringPtr() : String::make(string), key);
}

void safe_setString(const DictionaryPtr &d, const StringPtr &string, const QString &key)
{
    if (!d || key.isNull())
        return;
    if (!string)
        d->remove(key);
    else
        d->setValue(key, string);
}

void safe_setBool(const DictionaryPtr &d, bool v, const QString &key)
{
    store(d, Number::fromBool(v), key);
}
void safe_setInt(const DictionaryPtr &d, int32_t v, const QString &key)
{
    store(d, Number::fromInt(v), key);
}
void safe_setInteger(const DictionaryPtr &d, int64_t v, const QString &key)
{
    store(d, Number::fromLongLong(v), key);
}
void safe_setUnsignedInteger(const DictionaryPtr &d, uint64_t v, const QString &key)
{
    store(d, Number::fromUnsignedLongLong(v), key);
}
void safe_setCGFloat(const DictionaryPtr &d, double v, const QString &key)
{
    store(d, Number::fromDouble(v), key);
}
void safe_setChar(const DictionaryPtr &d, int8_t v, const QString &key)
{
    store(d, Number::fromChar(v), key);
}
void safe_setFloat(const DictionaryPtr &d, float v, const QString &key)
{
    store(d, Number::fromFloat(v), key);
}
void safe_setDouble(const DictionaryPtr &d, double v, const QString &key)
{
    store(d, Number::fromDouble(v), key);
}
void safe_setLongLong(const DictionaryPtr &d, int64_t v, const QString &key)
{
    store(d, Number::fromLongLong(v), key);
}

ObjectPtr safe_objectWithIndex(const ArrayPtr &a, uint64_t index)
{
    if (!a || index >= a->count())
        return {};
    return a->at(static_cast<size_t>(index));
}

StringPtr safe_stringWithIndex(const ArrayPtr &a, uint64_t index)
{
    ObjectPtr element = safe_objectWithIndex(a, index);
    if (!element || is<Null>(element) || element->description() == QLatin1String("<null>"))
        return {};
    return SafeValue::string(element);
}

NumberPtr safe_numberWithIndex(const ArrayPtr &a, uint64_t i)
{
    return SafeValue::number(safe_objectWithIndex(a, i));
}
DecimalNumberPtr safe_decimalNumberWithIndex(const ArrayPtr &a, uint64_t i)
{
    return SafeValue::decimalNumber(safe_objectWithIndex(a, i));
}
ArrayPtr safe_arrayWithIndex(const ArrayPtr &a, uint64_t i)
{
    return SafeValue::array(safe_objectWithIndex(a, i));
}
DictionaryPtr safe_dictionaryWithIndex(const ArrayPtr &a, uint64_t i)
{
    return SafeValue::dictionary(safe_objectWithIndex(a, i));
}
int64_t safe_integerWithIndex(const ArrayPtr &a, uint64_t i)
{
    return SafeValue::int64Value(safe_objectWithIndex(a, i));
}
uint64_t safe_unsignedIntegerWithIndex(const ArrayPtr &a, uint64_t i)
{
    return SafeValue::uint64Value(safe_objectWithIndex(a, i));
}
bool safe_boolWithIndex(const ArrayPtr &a, uint64_t i)
{
    return SafeValue::boolValue(safe_objectWithIndex(a, i));
}
int16_t safe_int16WithIndex(const ArrayPtr &a, uint64_t i)
{
    return SafeValue::int16Value(safe_objectWithIndex(a, i));
}
int32_t safe_int32WithIndex(const ArrayPtr &a, uint64_t i)
{
    return SafeValue::int32Value(safe_objectWithIndex(a, i));
}
int64_t safe_int64WithIndex(const ArrayPtr &a, uint64_t i)
{
    return SafeValue::int64Value(safe_objectWithIndex(a, i));
}
int8_t safe_charWithIndex(const ArrayPtr &a, uint64_t i)
{
    return SafeValue::charValue(safe_objectWithIndex(a, i));
}
int16_t safe_shortWithIndex(const ArrayPtr &a, uint64_t i)
{
    return SafeValue::int16Value(safe_objectWithIndex(a, i));
}
float safe_floatWithIndex(const ArrayPtr &a, uint64_t i)
{
    return SafeValue::floatValue(safe_objectWithIndex(a, i));
}
double safe_doubleWithIndex(const ArrayPtr &a, uint64_t i)
{
    return SafeValue::doubleValue(safe_objectWithIndex(a, i));
}
DatePtr safe_dateWithIndex(const ArrayPtr &a, uint64_t i, const QString &dateFormat)
{
    return SafeValue::date(safe_objectWithIndex(a, i), dateFormat);
}
double safe_CGFloatWithIndex(const ArrayPtr &a, uint64_t i)
{
    return SafeValue::cgFloatValue(safe_objectWithIndex(a, i));
}

void safe_addObj(const ArrayPtr &a, const ObjectPtr &object)
{
    append(a, object);
}
void safe_addString(const ArrayPtr &a, const QString &string)
{
    if (!string.isNull())
        append(a, String::make(string));
}
void safe_addString(const ArrayPtr &a, const StringPtr &string)
{
    append(a, string);
}
void safe_addBool(const ArrayPtr &a, bool v)
{
    append(a, Number::fromBool(v));
}
void safe_addInt(const ArrayPtr &a, int32_t v)
{
    append(a, Number::fromInt(v));
}
void safe_addInteger(const ArrayPtr &a, int64_t v)
{
    append(a, Number::fromLongLong(v));
}
void safe_addUnsignedInteger(const ArrayPtr &a, uint64_t v)
{
    append(a, Number::fromUnsignedLongLong(v));
}
void safe_addCGFloat(const ArrayPtr &a, double v)
{
    append(a, Number::fromDouble(v));
}
void safe_addChar(const ArrayPtr &a, int8_t v)
{
    append(a, Number::fromChar(v));
}
void safe_addFloat(const ArrayPtr &a, float v)
{
    append(a, Number::fromFloat(v));
}

} // namespace SafeAccess
