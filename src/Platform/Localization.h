#pragma once

namespace platform {

// The interface is in Simplified Chinese; Qt's own dialogs (the file picker, message boxes) follow it.
class Localization
{
public:
    // Installs Qt's Simplified Chinese translations into the running application; false when they are
    // missing (the dialogs then stay in English).
    static bool installInterfaceTranslations();
};

} // namespace platform
