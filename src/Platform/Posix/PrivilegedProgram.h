#pragma once

#include <string>

namespace posix {

// What the privileged helper agrees to run as root: an installer bundle's own creation tool
// (".../Contents/Resources/createinstallmedia") or one of the application's own tools lying beside the
// helper. Anything else — a shell, a program reached through a symbolic link, a relative path — is refused
// before it runs, so the helper is no general way to run programs as root.
class PrivilegedProgram
{
public:
    // Empty when `path` may run; otherwise a short English reason. `toolFolder` is the folder of the helper
    // itself.
    static std::string whyRefused(const std::string &path, const std::string &toolFolder);
    // The names of the application's tools the helper runs.
    static bool isOwnToolName(const std::string &name);
};

} // namespace posix
