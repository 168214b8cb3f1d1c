#include "Platform/Text/RegularExpression.h"

#include "Platform/Text/IcuText.h"

#include <memory>
#include <unicode/regex.h>

namespace platform {

bool RegularExpression::matchesWholeText(const QString &pattern, const QString &text, bool *validPattern)
{
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexPattern> compiled(
        icu::RegexPattern::compile(IcuText::toIcu(pattern), 0, status));
    if (validPattern)
        *validPattern = U_SUCCESS(status) && compiled;
    if (U_FAILURE(status) || !compiled)
        return false;
    const icu::UnicodeString input = IcuText::toIcu(text);
    std::unique_ptr<icu::RegexMatcher> matcher(compiled->matcher(input, status));
    if (U_FAILURE(status) || !matcher)
        return false;
    const bool matched = matcher->matches(status);
    return U_SUCCESS(status) && matched;
}

} // namespace platform
