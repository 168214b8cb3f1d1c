#include "Platform/Text/StringTransform.h"

#include "Platform/Text/IcuText.h"

#include <memory>
#include <unicode/translit.h>

namespace platform {

std::optional<QString> StringTransform::apply(const QString &text, const QString &transformId)
{
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Transliterator> transform(
        icu::Transliterator::createInstance(IcuText::toIcu(transformId), UTRANS_FORWARD, status));
    if (U_FAILURE(status) || !transform)
        return std::nullopt;
    icu::UnicodeString buffer = IcuText::toIcu(text);
    transform->transliterate(buffer);
    return IcuText::fromIcu(buffer);
}

} // namespace platform
