#pragma once

#include "Platform/Values/Date.h"

namespace platform {

// Parses dates with a Unicode date-format pattern (ICU), in the user's locale and time zone, strictly.
class DateFormatter
{
public:
    explicit DateFormatter(const QString &pattern, const QString &localeName = {});
    // The date, or an empty pointer when the whole text does not match the pattern.
    DatePtr dateFromString(const QString &text) const;

private:
    QString m_pattern;
    QString m_locale;
};

} // namespace platform
