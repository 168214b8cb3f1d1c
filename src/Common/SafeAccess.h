#pragma once

#include "Common/SafeValue.h"

#include <QVariant>
#include <cstdint>
#include <optional>

// Tolerant writers on dictionaries (never store nothing, store scalars as numbers of their type), array
// readers (an index past the end reads as a missing value) and array appenders.
namespace SafeAccess {

// Writers replace the entry under the key. Nothing as object (an invalid variant) leaves the dictionary
// unchanged; nothing as text removes the entry. A null key is ignored.
void safe_setObj(QVariantMap &dictionary, const QVariant &object, const QString &key);
void safe_setString(QVariantMap &dictionary, const std::optional<QString> &string, const QString &key);
void safe_setBool(QVariantMap &dictionary, bool value, const QString &key);
void safe_setInt(QVariantMap &dictionary, int32_t value, const QString &key);
void safe_setInteger(QVariantMap &dictionary, int64_t value, const QString &key);
void safe_setUnsignedInteger(QVariantMap &dictionary, uint64_t value, const QString &key);
void safe_setCGFloat(QVariantMap &dictionary, double value, const QString &key);
void safe_setChar(QVariantMap &dictionary, int8_t value, const QString &key);
void safe_setFloat(QVariantMap &dictionary, float value, const QString &key);
void safe_setDouble(QVariantMap &dictionary, double value, const QString &key);
void safe_setLongLong(QVariantMap &dictionary, int64_t value, const QString &key);

std::optional<QVariant> safe_objectWithIndex(const QVariantList &array, uint64_t index);
// Also nothing for the text "<null>".
std::optional<QString> safe_stringWithIndex(const QVariantList &array, uint64_t index);
std::optional<QVariant> safe_numberWithIndex(const QVariantList &array, uint64_t index);
std::optional<platform::DecimalNumber> safe_decimalNumberWithIndex(const QVariantList &array, uint64_t index);
std::optional<QVariantList> safe_arrayWithIndex(const QVariantList &array, uint64_t index);
std::optional<QVariantMap> safe_dictionaryWithIndex(const QVariantList &array, uint64_t index);
int64_t safe_integerWithIndex(const QVariantList &array, uint64_t index);
uint64_t safe_unsignedIntegerWithIndex(const QVariantList &array, uint64_t index);
bool safe_boolWithIndex(const QVariantList &array, uint64_t index);
int16_t safe_int16WithIndex(const QVariantList &array, uint64_t index);
int32_t safe_int32WithIndex(const QVariantList &array, uint64_t index);
int64_t safe_int64WithIndex(const QVariantList &array, uint64_t index);
int8_t safe_charWithIndex(const QVariantList &array, uint64_t index);
int16_t safe_shortWithIndex(const QVariantList &array, uint64_t index);
float safe_floatWithIndex(const QVariantList &array, uint64_t index);
double safe_doubleWithIndex(const QVariantList &array, uint64_t index);
std::optional<QDateTime> safe_dateWithIndex(const QVariantList &array, uint64_t index,
                                            const QString &dateFormat);
double safe_CGFloatWithIndex(const QVariantList &array, uint64_t index);

// Appenders; nothing leaves the array unchanged.
void safe_addObj(QVariantList &array, const QVariant &object);
void safe_addString(QVariantList &array, const std::optional<QString> &string);
void safe_addBool(QVariantList &array, bool value);
void safe_addInt(QVariantList &array, int32_t value);
void safe_addInteger(QVariantList &array, int64_t value);
void safe_addUnsignedInteger(QVariantList &array, uint64_t value);
void safe_addCGFloat(QVariantList &array, double value);
void safe_addChar(QVariantList &array, int8_t value);
void safe_addFloat(QVariantList &array, float value);

} // namespace SafeAccess
