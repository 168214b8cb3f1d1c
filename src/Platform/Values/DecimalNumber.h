#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QString>
#include <cstdint>

namespace platform {

// Arbitrary-precision decimal: up to 38 significant digits and a base-ten exponent of -128…127, plus a
// not-a-number value, as the platform's decimal class keeps them. Qt has no such number; it travels in a
// QVariant like any other.
class DecimalNumber
{
public:
    DecimalNumber() = default;
    static DecimalNumber notANumber();
    // Optional sign, digits with at most one point, optional exponent marked E or e; blanks around are
    // ignored. Anything else, or an exponent out of range, gives not-a-number.
    static DecimalNumber fromString(QStringView text);
    // The value's shortest round-trip digits; not-a-number for NaN and the infinities.
    static DecimalNumber fromDouble(double value);

    bool isNaN() const { return m_nan; }
    bool toBool() const { return !m_nan && !m_digits.isEmpty(); }
    // Truncated toward zero, saturating; NaN gives 0.
    int64_t toLongLong() const;
    // Negative values wrap as C converts them; larger than the type saturates.
    uint64_t toULongLong() const;
    double toDouble() const;
    // Plain decimal text without exponent; "NaN" for not-a-number.
    QString toString() const;

    friend bool operator==(const DecimalNumber &a, const DecimalNumber &b)
    {
        if (a.m_nan || b.m_nan)
            return a.m_nan && b.m_nan;
        return a.m_negative == b.m_negative && a.m_digits == b.m_digits && a.m_exponent == b.m_exponent;
    }

private:
    void normalize();
    // The digits before the point, sign included; empty when the value has none.
    QByteArray integerText() const;

    bool m_nan = false;
    bool m_negative = false;
    QByteArray m_digits; // no leading or trailing zeros; empty means zero
    int m_exponent = 0;
};

} // namespace platform

Q_DECLARE_METATYPE(platform::DecimalNumber)
