#include "Platform/Values/DecimalNumber.h"

#include <QLocale>
#include <cmath>
#include <limits>

namespace platform {

namespace {
constexpr int kMaxDigits = 38;
constexpr int kMinExponent = -128;
constexpr int kMaxExponent = 127;

bool isAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}
} // namespace

DecimalNumber DecimalNumber::notANumber()
{
    DecimalNumber d;
    d.m_nan = true;
    return d;
}

DecimalNumber DecimalNumber::fromString(QStringView input)
{
    const QStringView text = input.trimmed();
    DecimalNumber d;
    qsizetype i = 0;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        d.m_negative = text[i] == QLatin1Char('-');
        ++i;
    }
    bool sawPoint = false;
    int fractionDigits = 0;
    for (; i < text.size(); ++i) {
        if (isAsciiDigit(text[i])) {
            d.m_digits.append(char(text[i].unicode()));
            fractionDigits += sawPoint ? 1 : 0;
        } else if (text[i] == QLatin1Char('.') && !sawPoint) {
            sawPoint = true;
        } else {
            break;
        }
    }
    if (d.m_digits.isEmpty())
        return notANumber();
    long exponent = 0;
    if (i < text.size() && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
        ++i;
        bool negativeExponent = false;
        if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
            negativeExponent = text[i] == QLatin1Char('-');
            ++i;
        }
        const qsizetype start = i;
        for (; i < text.size() && isAsciiDigit(text[i]); ++i)
            if (exponent < 100000)
                exponent = exponent * 10 + (text[i].unicode() - '0');
        if (i == start)
            return notANumber();
        if (negativeExponent)
            exponent = -exponent;
    }
    if (i != text.size())
        return notANumber();
    d.m_exponent = static_cast<int>(exponent - fractionDigits);
    d.normalize();
    return d;
}

DecimalNumber DecimalNumber::fromDouble(double value)
{
    if (!std::isfinite(value))
        return notANumber();
    return fromString(QString::number(value, 'g', QLocale::FloatingPointShortest));
}

void DecimalNumber::normalize()
{
    while (!m_digits.isEmpty() && m_digits.front() == '0')
        m_digits.remove(0, 1);
    while (!m_digits.isEmpty() && m_digits.back() == '0') {
        m_digits.chop(1);
        ++m_exponent;
    }
    if (m_digits.size() > kMaxDigits) {
        m_exponent += static_cast<int>(m_digits.size()) - kMaxDigits;
        m_digits.truncate(kMaxDigits);
    }
    if (m_exponent > kMaxExponent) {
        m_nan = true;
    } else if (m_exponent < kMinExponent) {
        // Underflow: what does not fit below the smallest exponent is lost.
        m_digits.chop(kMinExponent - m_exponent);
        m_exponent = kMinExponent;
    }
    if (m_digits.isEmpty()) {
        m_negative = false;
        m_exponent = 0;
    }
}

QByteArray DecimalNumber::integerText() const
{
    const qsizetype integerDigits = m_digits.size() + m_exponent;
    if (m_nan || integerDigits <= 0)
        return {};
    const QByteArray digits =
        m_exponent >= 0 ? m_digits + QByteArray(m_exponent, '0') : m_digits.left(integerDigits);
    return (m_negative ? QByteArray("-") : QByteArray()) + digits;
}

int64_t DecimalNumber::toLongLong() const
{
    const QByteArray text = integerText();
    if (text.isEmpty())
        return 0;
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok);
    if (ok)
        return value;
    return m_negative ? std::numeric_limits<int64_t>::min() : std::numeric_limits<int64_t>::max();
}

uint64_t DecimalNumber::toULongLong() const
{
    if (m_negative)
        return static_cast<uint64_t>(toLongLong());
    const QByteArray text = integerText();
    if (text.isEmpty())
        return 0;
    bool ok = false;
    const qulonglong value = text.toULongLong(&ok);
    return ok ? value : std::numeric_limits<uint64_t>::max();
}

double DecimalNumber::toDouble() const
{
    if (m_nan)
        return std::numeric_limits<double>::quiet_NaN();
    if (m_digits.isEmpty())
        return 0.0;
    return QByteArray((m_negative ? "-" : "") + m_digits + 'e' + QByteArray::number(m_exponent)).toDouble();
}

QString DecimalNumber::toString() const
{
    if (m_nan)
        return QStringLiteral("NaN");
    if (m_digits.isEmpty())
        return QStringLiteral("0");
    QByteArray out;
    const qsizetype integerDigits = m_digits.size() + m_exponent;
    if (m_exponent >= 0)
        out = m_digits + QByteArray(m_exponent, '0');
    else if (integerDigits > 0)
        out = m_digits.left(integerDigits) + '.' + m_digits.mid(integerDigits);
    else
        out = "0." + QByteArray(-integerDigits, '0') + m_digits;
    return QString::fromLatin1((m_negative ? QByteArray("-") : QByteArray()) + out);
}

} // namespace platform
