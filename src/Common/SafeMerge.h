#pragma once

#include "Platform/Values/Array.h"
#include "Platform/Values/Date.h"
#include "Platform/Values/DecimalNumber.h"
#include "Platform/Values/Dictionary.h"
#include "Platform/Values/Set.h"
#include "Platform/Values/String.h"

#include <cstdint>

// Tolerant dictionary readers, dictionary merging and a dictionary's JSON text. A reader yields nothing, 0,
// false or 0.0 for a missing key, the null marker or a value of the wrong kind; an empty receiver reads as
// an empty dictionary.
namespace SafeMerge {

using platform::DictionaryPtr;

bool safe_hasKey(const DictionaryPtr &dictionary, const QString &key);
platform::StringPtr safe_stringForKey(const DictionaryPtr &dictionary, const QString &key);
platform::NumberPtr safe_numberForKey(const DictionaryPtr &dictionary, const QString &key);
platform::DecimalNumberPtr safe_decimalNumberForKey(const DictionaryPtr &dictionary, const QString &key);
platform::ArrayPtr safe_arrayForKey(const DictionaryPtr &dictionary, const QString &key);
DictionaryPtr safe_dictionaryForKey(const DictionaryPtr &dictionary, const QString &key);
int64_t safe_integerForKey(const DictionaryPtr &dictionary, const QString &key);
uint64_t safe_unsignedIntegerForKey(const DictionaryPtr &dictionary, const QString &key);
bool safe_boolForKey(const DictionaryPtr &dictionary, const QString &key);
int16_t safe_int16ForKey(const DictionaryPtr &dictionary, const QString &key);
int32_t safe_int32ForKey(const DictionaryPtr &dictionary, const QString &key);
int64_t safe_int64ForKey(const DictionaryPtr &dictionary, const QString &key);
int8_t safe_charForKey(const DictionaryPtr &dictionary, const QString &key);
int16_t safe_shortForKey(const DictionaryPtr &dictionary, const QString &key);
float safe_floatForKey(const DictionaryPtr &dictionary, const QString &key);
double safe_doubleForKey(const DictionaryPtr &dictionary, const QString &key);
int64_t safe_longLongForKey(const DictionaryPtr &dictionary, const QString &key);
uint64_t safe_unsignedLongLongForKey(const DictionaryPtr &dictionary, const QString &key);
platform::DatePtr safe_dateForKey(const DictionaryPtr &dictionary, const QString &key,
                                  const QString &dateFormat);
double safe_CGFloatForKey(const DictionaryPtr &dictionary, const QString &key);
// The receiver written as pretty-printed JSON, or nothing when it cannot be written.
platform::StringPtr safe_JSONString(const DictionaryPtr &dictionary);

// Deep merge: second's values win, dictionaries under the same key merge recursively, arrays are replaced.
// The result and every dictionary in it are new.
DictionaryPtr safe_dictionaryByMerging(const DictionaryPtr &first, const DictionaryPtr &second);
DictionaryPtr safe_dictionaryByMergingWith(const DictionaryPtr &receiver, const DictionaryPtr &other);
// Shallow: the receiver's entries, then the other's, the other winning.
DictionaryPtr safe_dictionaryByAddingEntriesFromDictionary(const DictionaryPtr &receiver,
                                                           const DictionaryPtr &other);
DictionaryPtr safe_dictionaryByRemovingEntriesWithKeys(const DictionaryPtr &receiver,
                                                       const platform::SetPtr &keys);

} // namespace SafeMerge
