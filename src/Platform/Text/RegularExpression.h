#pragma once

#include <QString>

namespace platform {

// ICU regular expressions, the engine behind the platform's "SELF MATCHES" predicates.
class RegularExpression
{
public:
    // Whether the pattern matches the whole text. A pattern ICU rejects matches nothing; validPattern tells
    // the two apart.
    static bool matchesWholeText(const QString &pattern, const QString &text, bool *validPattern = nullptr);
};

} // namespace platform
