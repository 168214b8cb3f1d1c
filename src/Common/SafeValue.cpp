#include "Common/SafeValue.h"

#include "Platform/Text/DateFormatter.h"

#include <charconv>
#include <cmath>
#include <limits>

using platform::DecimalNumber;

namespace SafeValue {

namespace {

bool isDecimal(const QVariant &value)
{
    return value.metaType() == QMetaType::fromType<DecimalNumber>();
}

bool isFloating(const QVariant &value)
{
    const int type = value.typeId();
    return type == QMetaType::Double || type == QMetaType::Float;
}

bool isUnsigned64(const QVariant &value)
{
    const int type = value.typeId();
    return type == QMetaType::ULongLong || type == QMetaType::ULong;
}

// C's conversions, saturating where C would be undefined; NaN gives 0.
int64_t saturatingInt64(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= 9223372036854775808.0)
        return std::numeric_limits<int64_t>::max();
    if (value < -9223372036854775808.0)
        return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(value);
}

uint64_t saturatingUInt64(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= 18446744073709551616.0)
        return std::numeric_limits<uint64_t>::max();
    if (value < 0)
        return static_cast<uint64_t>(saturatingInt64(value));
    return static_cast<uint64_t>(value);
}

// The number's own conversions; the caller has checked that it is a number.
int64_t numberInt64(const QVariant &n)
{
    if (isDecimal(n))
        return n.value<DecimalNumber>().toLongLong();
    if (isFloating(n))
        return saturatingInt64(n.toDouble());
    if (isUnsigned64(n))
        return static_cast<int64_t>(n.toULongLong());
    return n.toLongLong();
}

uint64_t numberUInt64(const QVariant &n)
{
    if (isDecimal(n))
        return n.value<DecimalNumber>().toULongLong();
    if (isFloating(n))
        return saturatingUInt64(n.toDouble());
    if (isUnsigned64(n))
        return n.toULongLong();
    return static_cast<uint64_t>(n.toLongLong());
}

double numberDouble(const QVariant &n)
{
    return isDecimal(n) ? n.value<DecimalNumber>().toDouble() : n.toDouble();
}

bool numberBool(const QVariant &n)
{
    if (isDecimal(n))
        return n.value<DecimalNumber>().toBool();
    if (isFloating(n))
        return n.toDouble() != 0.0;
    return isUnsigned64(n) ? n.toULongLong() != 0 : n.toLongLong() != 0;
}

qsizetype skipBlanks(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    return i;
}

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool isSign(QChar c)
{
    return c == QLatin1Char('+') || c == QLatin1Char('-');
}

} // namespace

Kind kindOf(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::UnknownType:
        return Kind::Absent;
    case QMetaType::Nullptr:
        return Kind::Null;
    case QMetaType::QString:
        return Kind::String;
    case QMetaType::Bool:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Float:
    case QMetaType::Double:
        return Kind::Number;
    case QMetaType::QVariantList:
        return Kind::Array;
    case QMetaType::QVariantMap:
        return Kind::Dictionary;
    default:
        return isDecimal(value) ? Kind::Number : Kind::Other;
    }
}

QString numberText(const QVariant &n)
{
    if (isDecimal(n))
        return n.value<DecimalNumber>().toString();
    switch (n.typeId()) {
    case QMetaType::Bool:
        return n.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    case QMetaType::Float: {
        // QString::number widens a float to double, whose shortest digits are not the float's own.
        char digits[32];
        const auto end = std::to_chars(digits, digits + sizeof(digits), n.toFloat()).ptr;
        return QString::fromLatin1(digits, end - digits);
    }
    case QMetaType::Double:
        return QString::number(n.toDouble(), 'g', QLocale::FloatingPointShortest);
    default:
        return isUnsigned64(n) ? QString::number(n.toULongLong()) : QString::number(n.toLongLong());
    }
}

std::optional<QString> string(const QVariant &value)
{
    switch (kindOf(value)) {
    case Kind::String:
        return value.toString();
    case Kind::Number:
        return numberText(value);
    default:
        return std::nullopt;
    }
}

std::optional<QVariant> number(const QVariant &value)
{
    switch (kindOf(value)) {
    case Kind::Number:
        return value;
    case Kind::String:
        return localeNumber(value.toString(), NumberStyle::Decimal);
    default:
        return std::nullopt;
    }
}

std::optional<DecimalNumber> decimalNumber(const QVariant &value)
{
    switch (kindOf(value)) {
    case Kind::Number:
        if (isDecimal(value))
            return value.value<DecimalNumber>();
        if (isFloating(value))
            return DecimalNumber::fromDouble(value.toDouble());
        return DecimalNumber::fromString(numberText(value));
    case Kind::String: {
        const QString text = value.toString();
        if (text.isEmpty())
            return std::nullopt;
        return DecimalNumber::fromString(text);
    }
    default:
        return std::nullopt;
    }
}

std::optional<QVariantList> array(const QVariant &value)
{
    if (kindOf(value) != Kind::Array)
        return std::nullopt;
    return value.toList();
}

std::optional<QVariantMap> dictionary(const QVariant &value)
{
    if (kindOf(value) != Kind::Dictionary)
        return std::nullopt;
    return value.toMap();
}

std::optional<QDateTime> date(const QVariant &value, const QString &pattern)
{
    if (kindOf(value) != Kind::String || pattern.isNull())
        return std::nullopt;
    return platform::DateFormatter(pattern).dateFromString(value.toString());
}

namespace {

// Text and numbers convert, each its own way; everything else reads as zero.
template <class T, class FromText, class FromNumber>
T scalar(const QVariant &value, FromText fromText, FromNumber fromNumber)
{
    switch (kindOf(value)) {
    case Kind::String:
        return fromText(value.toString());
    case Kind::Number:
        return fromNumber(value);
    default:
        return T{};
    }
}

} // namespace

int64_t int64Value(const QVariant &value)
{
    return scalar<int64_t>(value, textInt64, numberInt64);
}

int32_t int32Value(const QVariant &value)
{
    return scalar<int32_t>(value, textInt32,
                           [](const QVariant &n) { return static_cast<int32_t>(numberInt64(n)); });
}

int16_t int16Value(const QVariant &value)
{
    // Text takes the int32 conversion, numbers their integer value; both keep the low 16 bits.
    return static_cast<int16_t>(kindOf(value) == Kind::Number ? numberInt64(value) : int32Value(value));
}

int8_t charValue(const QVariant &value)
{
    // As the 16-bit readers, with the low 8 bits.
    return static_cast<int8_t>(kindOf(value) == Kind::Number ? numberInt64(value) : int32Value(value));
}

uint64_t uint64Value(const QVariant &value)
{
    const auto plain = [](const QString &text) {
        const std::optional<QVariant> parsed = localeNumber(text, NumberStyle::Plain);
        return parsed ? numberUInt64(*parsed) : 0;
    };
    return scalar<uint64_t>(value, plain, numberUInt64);
}

bool boolValue(const QVariant &value)
{
    return scalar<bool>(value, textBool, numberBool);
}

float floatValue(const QVariant &value)
{
    return static_cast<float>(doubleValue(value));
}

double doubleValue(const QVariant &value)
{
    return scalar<double>(value, textDouble, numberDouble);
}

int64_t textInt64(QStringView text)
{
    qsizetype i = skipBlanks(text);
    bool negative = false;
    if (i < text.size() && isSign(text.at(i)))
        negative = text.at(i++) == QLatin1Char('-');
    // Accumulate as a negative number so INT64_MIN is representable.
    constexpr int64_t min = std::numeric_limits<int64_t>::min();
    int64_t acc = 0;
    for (; i < text.size() && isDigit(text.at(i)); ++i) {
        const int digit = text.at(i).unicode() - '0';
        if (acc < (min + digit) / 10)
            return negative ? min : std::numeric_limits<int64_t>::max();
        acc = acc * 10 - digit;
    }
    if (negative)
        return acc;
    return acc == min ? std::numeric_limits<int64_t>::max() : -acc;
}

int32_t textInt32(QStringView text)
{
    const int64_t v = textInt64(text);
    if (v > std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    if (v < std::numeric_limits<int32_t>::min())
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

bool textBool(QStringView text)
{
    qsizetype i = skipBlanks(text);
    if (i < text.size() && isSign(text.at(i)))
        ++i;
    while (i < text.size() && text.at(i) == QLatin1Char('0'))
        ++i;
    if (i >= text.size())
        return false;
    const char c = text.at(i).toLatin1();
    return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
}

double textDouble(QStringView text)
{
    const qsizetype start = skipBlanks(text);
    qsizetype i = start;
    if (i < text.size() && isSign(text.at(i)))
        ++i;
    int digits = 0;
    for (; i < text.size() && isDigit(text.at(i)); ++i)
        ++digits;
    if (i < text.size() && text.at(i) == QLatin1Char('.'))
        for (++i; i < text.size() && isDigit(text.at(i)); ++i)
            ++digits;
    if (digits == 0)
        return 0.0;
    qsizetype end = i;
    if (i < text.size() && (text.at(i) == QLatin1Char('e') || text.at(i) == QLatin1Char('E'))) {
        qsizetype j = i + 1;
        if (j < text.size() && isSign(text.at(j)))
            ++j;
        if (j < text.size() && isDigit(text.at(j))) {
            while (j < text.size() && isDigit(text.at(j)))
                ++j;
            end = j;
        }
    }
    // from_chars reads the point whatever the locale; it takes no plus sign.
    QByteArray number = text.mid(start, end - start).toLatin1();
    if (number.startsWith('+'))
        number.remove(0, 1);
    double value = 0.0;
    const auto [rest, error] = std::from_chars(number.cbegin(), number.cend(), value);
    if (error != std::errc::result_out_of_range)
        return value;
    // Out of range: C saturates to infinity or underflows to zero.
    const bool negative = number.startsWith('-');
    if (number.contains("e-") || number.contains("E-"))
        return negative ? -0.0 : 0.0;
    return negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
}

std::optional<QVariant> localeNumber(const QString &text, NumberStyle style, const QLocale &base)
{
    if (text.isEmpty())
        return std::nullopt;
    QLocale locale = base;
    locale.setNumberOptions(style == NumberStyle::Plain ? QLocale::RejectGroupSeparator
                                                        : QLocale::DefaultNumberOptions);
    bool ok = false;
    if (const qlonglong integer = locale.toLongLong(text, &ok); ok)
        return QVariant(integer);
    if (const qulonglong integer = locale.toULongLong(text, &ok); ok)
        return QVariant(integer);
    if (const double real = locale.toDouble(text, &ok); ok)
        return QVariant(real);
    return std::nullopt;
}

} // namespace SafeValue
