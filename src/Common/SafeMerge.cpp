#include "Common/SafeMerge.h"

#include "Common/JSONText.h"

using SafeValue::Kind;

namespace SafeMerge {

bool safe_hasKey(const QVariantMap &d, const QString &key)
{
    return d.contains(key);
}
std::optional<QString> safe_stringForKey(const QVariantMap &d, const QString &key)
{
    return SafeValue::string(d.value(key));
}
std::optional<QVariant> safe_numberForKey(const QVariantMap &d, const QString &key)
{
    return SafeValue::number(d.value(key));
}
std::optional<platform::DecimalNumber> safe_decimalNumberForKey(const QVariantMap &d, const QString &key)
{
    return SafeValue::decimalNumber(d.value(key));
}
std::optional<QVariantList> safe_arrayForKey(const QVariantMap &d, const QString &key)
{
    return SafeValue::array(d.value(key));
}
std::optional<QVariantMap> safe_dictionaryForKey(const QVariantMap &d, const QString &key)
{
    return SafeValue::dictionary(d.value(key));
}
int64_t safe_integerForKey(const QVariantMap &d, const QString &key)
{
    return SafeValue::int64Value(d.value(key));
}
uint64_t safe_unsignedIntegerForKey(const QVariantMap &d, const QString &key)
{
    return SafeValue::uint64Value(d.value(key));
}
bool safe_boolForKey(const QVariantMap &d, const QString &key)
{
    return SafeValue::boolValue(d.value(key));
}
int16_t safe_int16ForKey(const QVariantMap &d, const QString &key)
{
    return SafeValue::int16Value(d.value(key));
}
int32_t safe_int32ForKey(const QVariantMap &d, const QString &key)
{
    return SafeValue::int32Value(d.value(key));
}
int64_t safe_int64ForKey(const QVariantMap &d, const QString &key)
{
    return SafeValue::int64Value(d.value(key));
}
int8_t safe_charForKey(const QVariantMap &d, const QString &key)
{
    return SafeValue::charValue(d.value(key));
}
int16_t safe_shortForKey(const QVariantMap &d, const QString &key)
{
    return SafeValue::int16Value(d.value(key));
}
float safe_floatForKey(const QVariantMap &d, const QString &key)
{
    return SafeValue::floatValue(d.value(key));
}
double safe_doubleForKey(const QVariantMap &d, const QString &key)
{
    return SafeValue::doubleValue(d.value(key));
}
int64_t safe_longLongForKey(const QVariantMap &d, const QString &key)
{
    return SafeValue::int64Value(d.value(key));
}
uint64_t safe_unsignedLongLongForKey(const QVariantMap &d, const QString &key)
{
    return SafeValue::uint64Value(d.value(key));
}
std::optional<QDateTime> safe_dateForKey(const QVariantMap &d, const QString &key, const QString &dateFormat)
{
    return SafeValue::date(d.value(key), dateFormat);
}
double safe_CGFloatForKey(const QVariantMap &d, const QString &key)
{
    return SafeValue::doubleValue(d.value(key));
}

std::optional<QString> safe_JSONString(const QVariantMap &d)
{
    const std::optional<QByteArray> bytes = JSONText::write(d, true);
    if (!bytes || bytes->isEmpty())
        return std::nullopt;
    return QString::fromUtf8(*bytes);
}

QVariantMap safe_dictionaryByMerging(const QVariantMap &first, const QVariantMap &second)
{
    QVariantMap result = first;
    QVariantMap combined = first;
    combined.insert(second);
    for (auto it = combined.cbegin(); it != combined.cend(); ++it) {
        if (SafeValue::kindOf(it.value()) != Kind::Dictionary) {
            result.insert(it.key(), it.value());
            continue;
        }
        // A dictionary over a non-dictionary in first is taken as it is; values copy on write, so every
        // dictionary in the result is the caller's own.
        const QVariant earlier = first.value(it.key());
        result.insert(it.key(), SafeValue::kindOf(earlier) == Kind::Dictionary
                                    ? safe_dictionaryByMergingWith(earlier.toMap(), it.value().toMap())
                                    : it.value());
    }
    return result;
}

QVariantMap safe_dictionaryByMergingWith(const QVariantMap &receiver, const QVariantMap &other)
{
    return safe_dictionaryByMerging(receiver, other);
}

QVariantMap safe_dictionaryByAddingEntriesFromDictionary(const QVariantMap &receiver,
                                                         const QVariantMap &other)
{
    QVariantMap result = receiver;
    result.insert(other);
    return result;
}

QVariantMap safe_dictionaryByRemovingEntriesWithKeys(const QVariantMap &receiver, const QSet<QString> &keys)
{
    QVariantMap result = receiver;
    for (const QString &key : keys)
        result.remove(key);
    return result;
}

} // namespace SafeMerge
