#include "Common/SafeMerge.h"

#include "Common/SafeValue.h"
#include "Platform/Values/JSONSerialization.h"

using namespace platform;

namespace SafeMerge {

namespace {

ObjectPtr lookup(const DictionaryPtr &dictionary, const QString &key)
{
    return dictionary ? dictionary->value(key) : ObjectPtr();
}

} // namespace

bool safe_hasKey(const DictionaryPtr &d, const QString &key)
{
    return d && d->contains(key);
}
StringPtr safe_stringForKey(const DictionaryPtr &d, const QString &key)
{
    return SafeValue::string(lookup(d, key));
}
NumberPtr safe_numberForKey(const DictionaryPtr &d, const QString &key)
{
    return SafeValue::number(lookup(d, key));
}
DecimalNumberPtr safe_decimalNumberForKey(const DictionaryPtr &d, const QString &key)
{
    return SafeValue::decimalNumber(lookup(d, key));
}
ArrayPtr safe_arrayForKey(const DictionaryPtr &d, const QString &key)
{
    return SafeValue::array(lookup(d, key));
}
DictionaryPtr safe_dictionaryForKey(const DictionaryPtr &d, const QString &key)
{
    return SafeValue::dictionary(lookup(d, key));
}
int64_t safe_integerForKey(const DictionaryPtr &d, const QString &key)
{
    return SafeValue::int64Value(lookup(d, key));
}
uint64_t safe_unsignedIntegerForKey(const DictionaryPtr &d, const QString &key)
{
    return SafeValue::uint64Value(lookup(d, key));
}
bool safe_boolForKey(const DictionaryPtr &d, const QString &key)
{
    return SafeValue::boolValue(lookup(d, key));
}
int16_t safe_int16ForKey(const DictionaryPtr &d, const QString &key)
{
    return SafeValue::int16Value(lookup(d, key));
}
int32_t safe_int32ForKey(const DictionaryPtr &d, const QString &key)
{
    return SafeValue::int32Value(lookup(d, key));
}
int64_t safe_int64ForKey(const DictionaryPtr &d, const QString &key)
{
    return SafeValue::int64Value(lookup(d, key));
}
int8_t safe_charForKey(const DictionaryPtr &d, const QString &key)
{
    return SafeValue::charValue(lookup(d, key));
}
int16_t safe_shortForKey(const DictionaryPtr &d, const QString &key)
{
    return SafeValue::int16Value(lookup(d, key));
}
float safe_floatForKey(const DictionaryPtr &d, const QString &key)
{
    return SafeValue::floatValue(lookup(d, key));
}
double safe_doubleForKey(const DictionaryPtr &d, const QString &key)
{
    return SafeValue::doubleValue(lookup(d, key));
}
int64_t safe_longLongForKey(const DictionaryPtr &d, const QString &key)
{
    return SafeValue::int64Value(lookup(d, key));
}
uint64_t safe_unsignedLongLongForKey(const DictionaryPtr &d, const QString &key)
{
    return SafeValue::uint64Value(lookup(d, key));
}
DatePtr safe_dateForKey(const DictionaryPtr &d, const QString &key, const QString &dateFormat)
{
    return SafeValue::date(lookup(d, key), dateFormat);
}
double safe_CGFloatForKey(const DictionaryPtr &d, const QString &key)
{
    return SafeValue::cgFloatValue(lookup(d, key));
}

StringPtr safe_JSONString(const DictionaryPtr &d)
{
    if (!d)
        return {};
    bool ok = false;
    const QByteArray bytes = JSONSerialization::write(d, true, &ok);
    if (!ok || bytes.isEmpty())
        return {};
    return String::make(QString::fromUtf8(bytes));
}

DictionaryPtr safe_dictionaryByMerging(const DictionaryPtr &first, const DictionaryPtr &second)
{
    auto result = first ? first->copy() : std::make_shared<Dictionary>();
    auto combined = first ? first->copy() : std::make_shared<Dictionary>();
    if (second)
        for (const auto &[key, value] : second->entries())
            combined->setValue(key, value);

    for (const auto &[key, value] : combined->entries()) {
        auto valueDictionary = as<Dictionary>(value);
        if (!valueDictionary) {
            result->setValue(key, value);
            continue;
        }
        if (first && first->contains(key)) {
            // A dictionary in second over a non-dictionary in first is taken as a fresh copy of second's.
            auto firstDictionary = as<Dictionary>(first->value(key));
            result->setValue(key, firstDictionary
                                      ? safe_dictionaryByMergingWith(firstDictionary, valueDictionary)
                                      : safe_dictionaryByMerging(valueDictionary, {}));
        } else {
            result->setValue(key, safe_dictionaryByMerging(valueDictionary, valueDictionary));
        }
    }
    return result->copy();
}

DictionaryPtr safe_dictionaryByMergingWith(const DictionaryPtr &receiver, const DictionaryPtr &other)
{
    return safe_dictionaryByMerging(receiver, other);
}

DictionaryPtr safe_dictionaryByAddingEntriesFromDictionary(const DictionaryPtr &receiver,
                                                           const DictionaryPtr &other)
{
    auto result = receiver ? receiver->copy() : std::make_shared<Dictionary>();
    if (other)
        for (const auto &[key, value] : other->entries())
            result->setValue(key, value);
    return result;
}

DictionaryPtr safe_dictionaryByRemovingEntriesWithKeys(const DictionaryPtr &receiver, const SetPtr &keys)
{
    auto result = receiver ? receiver->copy() : std::make_shared<Dictionary>();
    if (keys)
        for (const auto &key : keys->items())
            if (auto text = as<String>(key))
                result->remove(text->value());
    return result;
}

} // namespace SafeMerge
