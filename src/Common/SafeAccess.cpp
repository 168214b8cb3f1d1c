#include "Common/SafeAccess.h"

namespace SafeAccess {

namespace {

// The element as the readers see it: past the end is absent, an invalid variant.
QVariant element(const QVariantList &array, uint64_t index)
{
    return index < uint64_t(array.size()) ? array.at(qsizetype(index)) : QVariant();
}

} // namespace

void safe_setObj(QVariantMap &d, const QVariant &object, const QString &key)
{
    if (!key.isNull() && object.isValid())
        d.insert(key, object);
}

void safe_setString(QVariantMap &d, const std::optional<QString> &string, const QString &key)
{
    if (key.isNull())
        return;
    if (string)
        d.insert(key, *string);
    else
        d.remove(key);
}

void safe_setBool(QVariantMap &d, bool v, const QString &key)
{
    safe_setObj(d, QVariant(v), key);
}
void safe_setInt(QVariantMap &d, int32_t v, const QString &key)
{
    safe_setObj(d, QVariant::fromValue(v), key);
}
void safe_setInteger(QVariantMap &d, int64_t v, const QString &key)
{
    safe_setObj(d, QVariant::fromValue(qint64(v)), key);
}
void safe_setUnsignedInteger(QVariantMap &d, uint64_t v, const QString &key)
{
    safe_setObj(d, QVariant::fromValue(quint64(v)), key);
}
void safe_setCGFloat(QVariantMap &d, double v, const QString &key)
{
    safe_setObj(d, QVariant(v), key);
}
void safe_setChar(QVariantMap &d, int8_t v, const QString &key)
{
    safe_setObj(d, QVariant::fromValue(v), key);
}
void safe_setFloat(QVariantMap &d, float v, const QString &key)
{
    safe_setObj(d, QVariant(v), key);
}
void safe_setDouble(QVariantMap &d, double v, const QString &key)
{
    safe_setObj(d, QVariant(v), key);
}
void safe_setLongLong(QVariantMap &d, int64_t v, const QString &key)
{
    safe_setObj(d, QVariant::fromValue(qint64(v)), key);
}

std::optional<QVariant> safe_objectWithIndex(const QVariantList &a, uint64_t index)
{
    if (index >= uint64_t(a.size()))
        return std::nullopt;
    return a.at(qsizetype(index));
}

std::optional<QString> safe_stringWithIndex(const QVariantList &a, uint64_t index)
{
    const std::optional<QString> text = SafeValue::string(element(a, index));
    if (text == QLatin1String("<null>"))
        return std::nullopt;
    return text;
}

std::optional<QVariant> safe_numberWithIndex(const QVariantList &a, uint64_t i)
{
    return SafeValue::number(element(a, i));
}
std::optional<platform::DecimalNumber> safe_decimalNumberWithIndex(const QVariantList &a, uint64_t i)
{
    return SafeValue::decimalNumber(element(a, i));
}
std::optional<QVariantList> safe_arrayWithIndex(const QVariantList &a, uint64_t i)
{
    return SafeValue::array(element(a, i));
}
std::optional<QVariantMap> safe_dictionaryWithIndex(const QVariantList &a, uint64_t i)
{
    return SafeValue::dictionary(element(a, i));
}
int64_t safe_integerWithIndex(const QVariantList &a, uint64_t i)
{
    return SafeValue::int64Value(element(a, i));
}
uint64_t safe_unsignedIntegerWithIndex(const QVariantList &a, uint64_t i)
{
    return SafeValue::uint64Value(element(a, i));
}
bool safe_boolWithIndex(const QVariantList &a, uint64_t i)
{
    return SafeValue::boolValue(element(a, i));
}
int16_t safe_int16WithIndex(const QVariantList &a, uint64_t i)
{
    return SafeValue::int16Value(element(a, i));
}
int32_t safe_int32WithIndex(const QVariantList &a, uint64_t i)
{
    return SafeValue::int32Value(element(a, i));
}
int64_t safe_int64WithIndex(const QVariantList &a, uint64_t i)
{
    return SafeValue::int64Value(element(a, i));
}
int8_t safe_charWithIndex(const QVariantList &a, uint64_t i)
{
    return SafeValue::charValue(element(a, i));
}
int16_t safe_shortWithIndex(const QVariantList &a, uint64_t i)
{
    return SafeValue::int16Value(element(a, i));
}
float safe_floatWithIndex(const QVariantList &a, uint64_t i)
{
    return SafeValue::floatValue(element(a, i));
}
double safe_doubleWithIndex(const QVariantList &a, uint64_t i)
{
    return SafeValue::doubleValue(element(a, i));
}
std::optional<QDateTime> safe_dateWithIndex(const QVariantList &a, uint64_t i, const QString &dateFormat)
{
    return SafeValue::date(element(a, i), dateFormat);
}
double safe_CGFloatWithIndex(const QVariantList &a, uint64_t i)
{
    return SafeValue::doubleValue(element(a, i));
}

void safe_addObj(QVariantList &a, const QVariant &object)
{
    if (object.isValid())
        a.append(object);
}
void safe_addString(QVariantList &a, const std::optional<QString> &string)
{
    if (string)
        a.append(*string);
}
void safe_addBool(QVariantList &a, bool v)
{
    a.append(QVariant(v));
}
void safe_addInt(QVariantList &a, int32_t v)
{
    a.append(QVariant::fromValue(v));
}
void safe_addInteger(QVariantList &a, int64_t v)
{
    a.append(QVariant::fromValue(qint64(v)));
}
void safe_addUnsignedInteger(QVariantList &a, uint64_t v)
{
    a.append(QVariant::fromValue(quint64(v)));
}
void safe_addCGFloat(QVariantList &a, double v)
{
    a.append(QVariant(v));
}
void safe_addChar(QVariantList &a, int8_t v)
{
    a.append(QVariant::fromValue(v));
}
void safe_addFloat(QVariantList &a, float v)
{
    a.append(QVariant(v));
}

} // namespace SafeAccess
