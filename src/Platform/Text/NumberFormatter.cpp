#include "Platform/Text/NumberFormatter.h"

#include "Platform/Text/IcuText.h"

#include <memory>
#include <unicode/decimfmt.h>
#include <unicode/numfmt.h>

namespace platform {

NumberFormatter::NumberFormatter(Style style, const QString &localeName)
    : m_style(style), m_locale(localeName)
{}

NumberPtr NumberFormatter::numberFromString(const QString &text) const
{
    if (text.isEmpty())
        return {};
    const icu::Locale locale = IcuText::locale(m_locale);
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::NumberFormat> format;
    if (m_style == Style::Decimal) {
        format.reset(icu::NumberFormat::createInstance(locale, UNUM_DECIMAL, status));
    } else {
        // The plain style writes digits only: no grouping, no fraction digits.
        format.reset(icu::NumberFormat::createInstance(locale, UNUM_DECIMAL, status));
        if (auto *decimal = dynamic_cast<icu::DecimalFormat *>(format.get()); decimal && U_SUCCESS(status))
            decimal->applyPattern(u"#", status);
    }
    if (U_FAILURE(status) || !format)
        return {};
    format->setLenient(false);
    const icu::UnicodeString input = IcuText::toIcu(text);
    icu::Formattable result;
    icu::ParsePosition position(0);
    format->parse(input, result, position);
    if (position.getErrorIndex() >= 0 || position.getIndex() != input.length())
        return {};
    status = U_ZERO_ERROR;
    switch (result.getType()) {
    case icu::Formattable::kLong:
    case icu::Formattable::kInt64:
        return Number::fromLongLong(result.getInt64(status));
    case icu::Formattable::kDouble:
        return Number::fromDouble(result.getDouble(status));
    default:
        return {};
    }
}

} // namespace platform
