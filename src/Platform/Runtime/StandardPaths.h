#pragma once

#include <QString>

namespace platform {

// The user's folders that belong to this application.
class StandardPaths
{
public:
    // The application's own folder for cached files that may be deleted at any time
    // (on Linux $XDG_CACHE_HOME/<application>, by default ~/.cache/<application>). Not created here.
    static QString cacheLocation();
};

} // namespace platform
