#include "Platform/Text/DateFormatter.h"

#include "Platform/Text/IcuText.h"

#include <QTimeZone>
#include <unicode/smpdtfmt.h>

namespace platform {

DateFormatter::DateFormatter(const QString &pattern, const QString &localeName)
    : m_pattern(pattern), m_locale(localeName)
{}

std::optional<QDateTime> DateFormatter::dateFromString(const QString &text) const
{
    if (text.isEmpty())
        return {};
    UErrorCode status = U_ZERO_ERROR;
    icu::SimpleDateFormat format(IcuText::toIcu(m_pattern), IcuText::locale(m_locale), status);
    if (U_FAILURE(status))
        return {};
    format.setLenient(false);
    const icu::UnicodeString input = IcuText::toIcu(text);
    icu::ParsePosition position(0);
    const UDate date = format.parse(input, position);
    if (position.getErrorIndex() >= 0 || position.getIndex() != input.length())
        return {};
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(date), QTimeZone::utc());
}

} // namespace platform
