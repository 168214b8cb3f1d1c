#pragma once

#include <QString>
#include <optional>

namespace platform {

// ICU transliteration ("Any-Latin; Latin-ASCII", …), the stand-in for the platform's string transforms.
class StringTransform
{
public:
    // The text run through the transform with the given ICU identifier; nothing when ICU cannot build the
    // transform.
    static std::optional<QString> apply(const QString &text, const QString &transformId);
};

} // namespace platform
