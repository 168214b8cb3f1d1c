#pragma once

#include <QString>
#include <QStringList>

namespace platform {

// What the platform says about the user and the operating system.
class SystemInfo
{
public:
    // The user's preferred interface languages, most preferred first, as BCP 47 tags.
    static QStringList preferredLanguages();
    // The operating system's version text (the distribution's release, e.g. "12").
    static QString operatingSystemVersionString();
};

} // namespace platform
