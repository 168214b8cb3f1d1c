#pragma once

#include <QDateTime>
#include <optional>

namespace platform {

// Parses dates with a Unicode date-format pattern (ICU), in the user's locale and time zone, strictly.
class DateFormatter
{
public:
    explicit DateFormatter(const QString &pattern, const QString &localeName = {});
    // The date, or nothing when the whole text does not match the pattern.
    std::optional<QDateTime> dateFromString(const QString &text) const;

private:
    QString m_pattern;
    QString m_locale;
};

} // namespace platform
