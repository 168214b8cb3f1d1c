#pragma once

#include "Platform/Values/Array.h"
#include "Platform/Values/Date.h"
#include "Platform/Values/DecimalNumber.h"
#include "Platform/Values/Dictionary.h"
#include "Platform/Values/String.h"

#include <cstdint>

// Tolerant writers on dictionaries (never store an empty object, box scalars), array readers (an index past
// the end reads as a missing value) and array appenders.
namespace SafeAccess {

using platform::ArrayPtr;
using platform::DictionaryPtr;
using platform::ObjectPtr;

// Writers replace the entry under the key. Nothing as object leaves the dictionary unchanged; nothing as
// text (a null QString or an empty pointer) removes the entry. A null key is ignored.
void safe_setObj(const DictionaryPtr &dictionary, const ObjectPtr &object, const QString &key);
void safe_setString(const DictionaryPtr &dictionary, const QString &string, const QString &key);
void safe_setString(const DictionaryPtr &dictionary, const platform::StringPtr &string, const QString &key);
void safe_setBool(const DictionaryPtr &dictionary, bool value, const QString &key);
void safe_setInt(const DictionaryPtr &dictionary, int32_t value, const QString &key);
void safe_setInteger(const DictionaryPtr &dictionary, int64_t value, const QString &key);
void safe_setUnsignedInteger(const DictionaryPtr &dictionary, uint64_t value, const QString &key);
void safe_setCGFloat(const DictionaryPtr &dictionary, double value, const QString &key);
void safe_setChar(const DictionaryPtr &dictionary, int8_t value, const QString &key);
void safe_setFloat(const DictionaryPtr &dictionary, float value, const QString &key);
void safe_setDouble(const DictionaryPtr &dictionary, double value, const QString &key);
void safe_setLongLong(const DictionaryPtr &dictionary, int64_t value, const QString &key);

ObjectPtr safe_objectWithIndex(const ArrayPtr &array, uint64_t index);
// Also nothing for an element whose description is "<null>".
platform::StringPtr safe_stringWithIndex(const ArrayPtr &array, uint64_t index);
platform::NumberPtr safe_numberWithIndex(const ArrayPtr &array, uint64_t index);
platform::DecimalNumberPtr safe_decimalNumberWithIndex(const ArrayPtr &array, uint64_t index);
ArrayPtr safe_arrayWithIndex(const ArrayPtr &array, uint64_t index);
DictionaryPtr safe_dictionaryWithIndex(const ArrayPtr &array, uint64_t index);
int64_t safe_integerWithIndex(const ArrayPtr &array, uint64_t index);
uint64_t safe_unsignedIntegerWithIndex(const ArrayPtr &array, uint64_t index);
bool safe_boolWithIndex(const ArrayPtr &array, uint64_t index);
int16_t safe_int16WithIndex(const ArrayPtr &array, uint64_t index);
int32_t safe_int32WithIndex(const ArrayPtr &array, uint64_t index);
int64_t safe_int64WithIndex(const ArrayPtr &array, uint64_t index);
int8_t safe_charWithIndex(const ArrayPtr &array, uint64_t index);
int16_t safe_shortWithIndex(const ArrayPtr &array, uint64_t index);
float safe_floatWithIndex(const ArrayPtr &array, uint64_t index);
double safe_doubleWithIndex(const ArrayPtr &array, uint64_t index);
platform::DatePtr safe_dateWithIndex(const ArrayPtr &array, uint64_t index, const QString &dateFormat);
double safe_CGFloatWithIndex(const ArrayPtr &array, uint64_t index);

// Appenders; nothing leaves the array unchanged.
void safe_addObj(const ArrayPtr &array, const ObjectPtr &object);
void safe_addString(const ArrayPtr &array, const QString &string);
void safe_addString(const ArrayPtr &array, const platform::StringPtr &string);
void safe_addBool(const ArrayPtr &array, bool value);
void safe_addInt(const ArrayPtr &array, int32_t value);
void safe_addInteger(const ArrayPtr &array, int64_t value);
void safe_addUnsignedInteger(const ArrayPtr &array, uint64_t value);
void safe_addCGFloat(const ArrayPtr &array, double value);
void safe_addChar(const ArrayPtr &array, int8_t value);
void safe_addFloat(const ArrayPtr &array, float value);

} // namespace SafeAccess
