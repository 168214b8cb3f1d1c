#include "Platform/Values/DecimalNumber.h"

#include "Platform/Values/String.h"

#include <QLocale>
#include <limits>

namespace platform {

namespace {
constexpr int kMaxDigits = 38;
constexpr int kMinExponent = -128;
constexpr int kMaxExponent = 127;
} // namespace

std::shared_ptr<DecimalNumber> DecimalNumber::notANumber()
{
    auto d = std::shared_ptr<DecimalNumber>(new DecimalNumber);
    d->m_nan = true;
    return d;
}

std::shared_ptr<DecimalNumber> DecimalNumber::fromString(const QString &input)
{
    const QString text = input.trimmed();
    auto d = std::shared_ptr<DecimalNumber>(new DecimalNumber);
    int i = 0;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        d->m_negative = text[i] == QLatin1Char('-');
        ++i;
    }
    bool sawDigit = false;
    bool sawPoint = false;
    int fractionDigits = 0;
    std::string digits;
    for (; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isDigit() && c.unicode() < 128) {
            sawDigit = true;
            digits.push_back(static_cast<char>(c.unicode()));
            if (sawPoint)
                ++fractionDigits;
        } else if (c == QLatin1Char('.') && !sawPoint) {
            sawPoint = true;
        } else {
            break;
        }
    }
    if (!sawDigit)
        return notANumber();
    long exponent = 0;
    if (i < text.size() && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
        ++i;
        bool negativeExponent = false;
        if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
            negativeExponent = text[i] == QLatin1Char('-');
            ++i;
        }
        bool expDigit = false;
        for (; i < text.size() && text[i].isDigit() && text[i].unicode() < 128; ++i) {
            expDigit = true;
            if (exponent < 100000)
                exponent = exponent * 10 + (text[i].unicode() - '0');
        }
        if (!expDigit)
            return notANumber();
        if (negativeExponent)
            exponent = -exponent;
    }
    if (i != text.size())
        return notANumber();
    d->m_digits = digits;
    d->m_exponent = static_cast<int>(exponent - fractionDigits);
    d->normalize();
    return d;
}

std::shared_ptr<DecimalNumber> DecimalNumber::fromNumber(const Number &number)
{
    if (auto *decimal = dynamic_cast<const DecimalNumber *>(&number)) {
        auto copy = std::shared_ptr<DecimalNumber>(new DecimalNumber);
        copy->m_nan = decimal->m_nan;
        copy->m_negative = decimal->m_negative;
        copy->m_digits = decimal->m_digits;
        copy->m_exponent = decimal->m_exponent;
        return copy;
    }
    if (number.isFloatingPoint()) {
        const double v = number.doubleValue();
        if (v != v || v == std::numeric_limits<double>::infinity() ||
            v == -std::numeric_limits<double>::infinity())
            return notANumber();
        return fromString(QString::number(v, 'g', QLocale::FloatingPointShortest));
    }
    return fromString(number.stringValue());
}

void DecimalNumber::normalize()
{
    if (m_nan)
        return;
    size_t firstNonZero = m_digits.find_first_not_of('0');
    m_digits = firstNonZero == std::string::npos ? std::string() : m_digits.substr(firstNonZero);
    if (m_digits.empty()) {
        m_negative = false;
        m_exponent = 0;
        return;
    }
    while (!m_digits.empty() && m_digits.back() == '0') {
        m_digits.pop_back();
        ++m_exponent;
    }
    if (static_cast<int>(m_digits.size()) > kMaxDigits) {
        m_exponent += static_cast<int>(m_digits.size()) - kMaxDigits;
        m_digits.resize(kMaxDigits);
    }
    if (m_exponent > kMaxExponent) {
        m_nan = true;
    } else if (m_exponent < kMinExponent) {
        // Underflow: what does not fit below the smallest exponent is lost.
        const int drop = kMinExponent - m_exponent;
        if (drop >= static_cast<int>(m_digits.size())) {
            m_digits.clear();
            m_negative = false;
            m_exponent = 0;
        } else {
            m_digits.resize(m_digits.size() - drop);
            m_exponent = kMinExponent;
        }
    }
}

bool DecimalNumber::boolValue() const
{
    return !m_nan && !m_digits.empty();
}

double DecimalNumber::doubleValue() const
{
    if (m_nan)
        return std::numeric_limits<double>::quiet_NaN();
    if (m_digits.empty())
        return 0.0;
    const QString text = QStringLiteral("%1%2e%3")
                             .arg(m_negative ? QStringLiteral("-") : QString())
                             .arg(QString::fromStdString(m_digits))
                             .arg(m_exponent);
    return QLocale::c().toDouble(text);
}

int64_t DecimalNumber::longLongValue() const
{
    if (m_nan || m_digits.empty())
        return 0;
    const int integerDigits = static_cast<int>(m_digits.size()) + m_exponent;
    if (integerDigits <= 0)
        return 0;
    if (integerDigits > 20)
        return m_negative ? std::numeric_limits<int64_t>::min() : std::numeric_limits<int64_t>::max();
    std::string integer =
        m_exponent >= 0 ? m_digits + std::string(m_exponent, '0') : m_digits.substr(0, integerDigits);
    return String(QString::fromStdString((m_negative ? "-" : "") + integer)).longLongValue();
}

uint64_t DecimalNumber::unsignedLongLongValue() const
{
    if (m_negative)
        return static_cast<uint64_t>(longLongValue());
    return saturatingUInt64(doubleValue());
}

QString DecimalNumber::stringValue() const
{
    if (m_nan)
        return QStringLiteral("NaN");
    if (m_digits.empty())
        return QStringLiteral("0");
    std::string out;
    if (m_exponent >= 0) {
        out = m_digits + std::string(m_exponent, '0');
    } else {
        const int integerDigits = static_cast<int>(m_digits.size()) + m_exponent;
        if (integerDigits > 0)
            out = m_digits.substr(0, integerDigits) + "." + m_digits.substr(integerDigits);
        else
            out = "0." + std::string(-integerDigits, '0') + m_digits;
    }
    return QString::fromStdString((m_negative ? "-" : "") + out);
}

bool DecimalNumber::isEqual(const Object &other) const
{
    if (auto *d = dynamic_cast<const DecimalNumber *>(&other)) {
        if (m_nan || d->m_nan)
            return m_nan && d->m_nan;
        return m_negative == d->m_negative && m_digits == d->m_digits && m_exponent == d->m_exponent;
    }
    return Number::isEqual(other);
}

} // namespace platform
