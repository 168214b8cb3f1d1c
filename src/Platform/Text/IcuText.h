#pragma once

#include <QString>
#include <unicode/locid.h>
#include <unicode/unistr.h>

namespace platform {

// Conversions between Qt text and ICU's, and the locale the user works in.
class IcuText
{
public:
    static icu::UnicodeString toIcu(const QString &text);
    static QString fromIcu(const icu::UnicodeString &text);
    // The named locale, or the user's current one (from the environment) when the name is empty.
    static icu::Locale locale(const QString &name = {});
};

} // namespace platform
