#pragma once

#include "Platform/Values/Number.h"

#include <string>

namespace platform {

// Arbitrary-precision decimal: up to 38 significant digits and a base-ten exponent of -128…127, plus a
// not-a-number value, as the platform's decimal class keeps them.
class DecimalNumber final : public Number
{
public:
    static std::shared_ptr<DecimalNumber> notANumber();
    // Optional sign, digits with at most one point, optional exponent marked E or e; blanks around are
    // ignored. Anything else, or an exponent out of range, gives not-a-number.
    static std::shared_ptr<DecimalNumber> fromString(const QString &text);
    // The number's exact decimal value (floating values in their shortest round-trip digits).
    static std::shared_ptr<DecimalNumber> fromNumber(const Number &number);

    bool isNaN() const { return m_nan; }
    Type type() const override { return Type::Decimal; }
    bool boolValue() const override;
    int64_t longLongValue() const override;
    uint64_t unsignedLongLongValue() const override;
    double doubleValue() const override;
    QString stringValue() const override;
    bool isEqual(const Object &other) const override;

private:
    DecimalNumber() : Number(Type::Decimal) {}
    void normalize();

    bool m_nan = false;
    bool m_negative = false;
    std::string m_digits; // no leading zeros; empty means zero
    int m_exponent = 0;
};

using DecimalNumberPtr = std::shared_ptr<DecimalNumber>;

} // namespace platform
