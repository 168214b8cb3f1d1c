#include "Platform/Text/IcuText.h"

#include <QLocale>

namespace platform {

icu::UnicodeString IcuText::toIcu(const QString &text)
{
    return icu::UnicodeString(reinterpret_cast<const UChar *>(text.utf16()),
                              static_cast<int32_t>(text.size()));
}

QString IcuText::fromIcu(const icu::UnicodeString &text)
{
    return QString(reinterpret_cast<const QChar *>(text.getBuffer()), text.length());
}

icu::Locale IcuText::locale(const QString &name)
{
    const QString chosen = name.isEmpty() ? QLocale::system().name() : name;
    return icu::Locale(chosen.toUtf8().constData());
}

} // namespace platform
