#pragma once

#include "Common/SafeValue.h"

#include <QSet>
#include <QVariant>
#include <cstdint>
#include <optional>

// Tolerant dictionary readers, dictionary merging and a dictionary's JSON text. A reader yields nothing, 0,
// false or 0.0 for a missing key, the null marker or a value of the wrong kind. Object results are the
// stored values, implicitly shared: changing one does not reach the container.
namespace SafeMerge {

bool safe_hasKey(const QVariantMap &dictionary, const QString &key);
std::optional<QString> safe_stringForKey(const QVariantMap &dictionary, const QString &key);
std::optional<QVariant> safe_numberForKey(const QVariantMap &dictionary, const QString &key);
std::optional<platform::DecimalNumber> safe_decimalNumberForKey(const QVariantMap &dictionary,
                                                                const QString &key);
std::optional<QVariantList> safe_arrayForKey(const QVariantMap &dictionary, const QString &key);
std::optional<QVariantMap> safe_dictionaryForKey(const QVariantMap &dictionary, const QString &key);
int64_t safe_integerForKey(const QVariantMap &dictionary, const QString &key);
uint64_t safe_unsignedIntegerForKey(const QVariantMap &dictionary, const QString &key);
bool safe_boolForKey(const QVariantMap &dictionary, const QString &key);
int16_t safe_int16ForKey(const QVariantMap &dictionary, const QString &key);
int32_t safe_int32ForKey(const QVariantMap &dictionary, const QString &key);
int64_t safe_int64ForKey(const QVariantMap &dictionary, const QString &key);
int8_t safe_charForKey(const QVariantMap &dictionary, const QString &key);
int16_t safe_shortForKey(const QVariantMap &dictionary, const QString &key);
float safe_floatForKey(const QVariantMap &dictionary, const QString &key);
double safe_doubleForKey(const QVariantMap &dictionary, const QString &key);
int64_t safe_longLongForKey(const QVariantMap &dictionary, const QString &key);
uint64_t safe_unsignedLongLongForKey(const QVariantMap &dictionary, const QString &key);
std::optional<QDateTime> safe_dateForKey(const QVariantMap &dictionary, const QString &key,
                                         const QString &dateFormat);
double safe_CGFloatForKey(const QVariantMap &dictionary, const QString &key);
// The receiver written as pretty-printed JSON, or nothing when it cannot be written.
std::optional<QString> safe_JSONString(const QVariantMap &dictionary);

// Deep merge: second's values win, dictionaries under the same key merge recursively, arrays are replaced.
QVariantMap safe_dictionaryByMerging(const QVariantMap &first, const QVariantMap &second);
QVariantMap safe_dictionaryByMergingWith(const QVariantMap &receiver, const QVariantMap &other);
// Shallow: the receiver's entries, then the other's, the other winning.
QVariantMap safe_dictionaryByAddingEntriesFromDictionary(const QVariantMap &receiver,
                                                         const QVariantMap &other);
QVariantMap safe_dictionaryByRemovingEntriesWithKeys(const QVariantMap &receiver, const QSet<QString> &keys);

} // namespace SafeMerge
