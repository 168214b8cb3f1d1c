#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace platform {

// Character sets named by their IANA labels (the charset parameter of a media type), decoded with ICU.
class TextEncoding
{
public:
    // ICU's canonical name for the label, or an empty text when the label names no known character set.
    static QString canonicalName(const QString &ianaLabel);
    // The bytes decoded in the named character set; nothing when the set is unknown or the bytes are not
    // valid in it.
    static std::optional<QString> decode(const QByteArray &bytes, const QString &encodingName);
};

} // namespace platform
