#include "Platform/Values/String.h"

#include <QLocale>
#include <limits>

namespace platform {

namespace {

int skipBlanks(const QString &text)
{
    int i = 0;
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    return i;
}

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

} // namespace

bool String::isEqual(const Object &other) const
{
    auto *s = dynamic_cast<const String *>(&other);
    return s && s->m_value == m_value;
}

int64_t String::longLongValue() const
{
    int i = skipBlanks(m_value);
    bool negative = false;
    if (i < m_value.size() && (m_value.at(i) == QLatin1Char('+') || m_value.at(i) == QLatin1Char('-'))) {
        negative = m_value.at(i) == QLatin1Char('-');
        ++i;
    }
    // Accumulate as a negative number so INT64_MIN is representable.
    int64_t acc = 0;
    bool overflow = false;
    constexpr int64_t min = std::numeric_limits<int64_t>::min();
    for (; i < m_value.size() && isDigit(m_value.at(i)); ++i) {
        const int digit = m_value.at(i).unicode() - '0';
        if (overflow)
            continue;
        if (acc < (min + digit) / 10) {
            overflow = true;
            continue;
        }
        acc = acc * 10 - digit;
    }
    if (overflow)
        return negative ? min : std::numeric_limits<int64_t>::max();
    if (negative)
        return acc;
    return acc == min ? std::numeric_limits<int64_t>::max() : -acc;
}

int32_t String::intValue() const
{
    const int64_t v = longLongValue();
    if (v > std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    if (v < std::numeric_limits<int32_t>::min())
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

bool String::boolValue() const
{
    int i = skipBlanks(m_value);
    if (i < m_value.size() && (m_value.at(i) == QLatin1Char('+') || m_value.at(i) == QLatin1Char('-')))
        ++i;
    while (i < m_value.size() && m_value.at(i) == QLatin1Char('0'))
        ++i;
    if (i >= m_value.size())
        return false;
    const QChar c = m_value.at(i);
    return c == QLatin1Char('Y') || c == QLatin1Char('y') || c == QLatin1Char('T') || c == QLatin1Char('t') ||
           (c >= QLatin1Char('1') && c <= QLatin1Char('9'));
}

double String::doubleValue() const
{
    const int start = skipBlanks(m_value);
    int i = start;
    if (i < m_value.size() && (m_value.at(i) == QLatin1Char('+') || m_value.at(i) == QLatin1Char('-')))
        ++i;
    int digits = 0;
    while (i < m_value.size() && isDigit(m_value.at(i))) {
        ++i;
        ++digits;
    }
    if (i < m_value.size() && m_value.at(i) == QLatin1Char('.')) {
        ++i;
        while (i < m_value.size() && isDigit(m_value.at(i))) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return 0.0;
    int end = i;
    if (i < m_value.size() && (m_value.at(i) == QLatin1Char('e') || m_value.at(i) == QLatin1Char('E'))) {
        int j = i + 1;
        if (j < m_value.size() && (m_value.at(j) == QLatin1Char('+') || m_value.at(j) == QLatin1Char('-')))
            ++j;
        if (j < m_value.size() && isDigit(m_value.at(j))) {
            while (j < m_value.size() && isDigit(m_value.at(j)))
                ++j;
            end = j;
        }
    }
    QString number = m_value.mid(start, end - start);
    if (number.endsWith(QLatin1Char('.')))
        number.chop(1);
    if (number.startsWith(QLatin1Char('.')) || number.startsWith(QLatin1String("-.")) ||
        number.startsWith(QLatin1String("+.")))
        number.insert(number.indexOf(QLatin1Char('.')), QLatin1Char('0'));
    bool ok = false;
    const double value = QLocale::c().toDouble(number, &ok);
    if (ok)
        return value;
    // Out of range: QLocale refuses, the platform saturates to infinity or underflows to zero.
    const bool negative = number.startsWith(QLatin1Char('-'));
    const bool tiny = number.contains(QLatin1String("e-"), Qt::CaseInsensitive);
    if (tiny)
        return negative ? -0.0 : 0.0;
    return negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
}

float String::floatValue() const
{
    return static_cast<float>(doubleValue());
}

} // namespace platform
