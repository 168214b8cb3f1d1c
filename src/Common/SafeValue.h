#pragma once

#include "Platform/Values/DecimalNumber.h"

#include <QDateTime>
#include <QLocale>
#include <QVariant>
#include <cstdint>
#include <optional>

// The kinds a tolerant reader tells apart, told by the variant's own type, and the conversions of one
// value found in a container (or of nothing: an invalid variant) to a wanted kind. The dictionary and array
// readers are these conversions applied to the value under a key or at an index.
namespace SafeValue {

enum class Kind
{
    Absent,
    Null,
    String,
    Number, // bool, the integer and floating types, the decimal number
    Array,
    Dictionary,
    Other // bytes, dates, anything else
};
Kind kindOf(const QVariant &value);

std::optional<QString> string(const QVariant &value);
std::optional<QVariant> number(const QVariant &value);
std::optional<platform::DecimalNumber> decimalNumber(const QVariant &value);
std::optional<QVariantList> array(const QVariant &value);
std::optional<QVariantMap> dictionary(const QVariant &value);
// Text parsed with a Unicode date pattern; nothing for the empty text or a text the pattern rejects.
std::optional<QDateTime> date(const QVariant &value, const QString &pattern);

int64_t int64Value(const QVariant &value);
int32_t int32Value(const QVariant &value);
int16_t int16Value(const QVariant &value);
int8_t charValue(const QVariant &value);
// Text is parsed as a plain number first; rejected text gives 0.
uint64_t uint64Value(const QVariant &value);
bool boolValue(const QVariant &value);
float floatValue(const QVariant &value);
double doubleValue(const QVariant &value);

// A number's decimal text: integers as plain digits, booleans as 1 or 0, floating values in shortest
// round-trip form.
QString numberText(const QVariant &number);

// Non-localised text-to-number conversions: leading blanks, optional sign, the longest numeric prefix.
// Integers saturate at the type's range; text that does not start with a number gives zero.
int64_t textInt64(QStringView text);
int32_t textInt32(QStringView text);
bool textBool(QStringView text);
double textDouble(QStringView text);

enum class NumberStyle
{
    Plain,  // digits only, no grouping
    Decimal // grouping and a fraction as the locale writes them
};
// The whole text read as a number of the locale (an integer as qint64 or quint64, else a double); nothing
// when the locale does not read all of it as one.
std::optional<QVariant> localeNumber(const QString &text, NumberStyle style, const QLocale &locale = {});

} // namespace SafeValue
