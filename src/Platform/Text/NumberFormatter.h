#pragma once

#include "Platform/Values/Number.h"

namespace platform {

// Locale-aware text-to-number parsing on ICU. The whole text must be a number as the locale writes it.
class NumberFormatter
{
public:
    enum class Style
    {
        Plain,
        Decimal
    };

    // localeName empty: the user's current locale.
    explicit NumberFormatter(Style style, const QString &localeName = {});
    // The parsed number, or an empty pointer when the text is rejected (the empty text included).
    NumberPtr numberFromString(const QString &text) const;

private:
    Style m_style;
    QString m_locale;
};

} // namespace platform
