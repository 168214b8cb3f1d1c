#pragma once

#include <string>

namespace disktools {

// The rules for the paths the tools accept and create: volumes live directly or deeper below /Volumes, never
// at "/", and a volume name is one harmless path component.
class VolumePath
{
public:
    // "/Volumes" with its own symbolic links resolved.
    static std::string volumesRoot();
    // Resolves "..", "." and symbolic links in the argument and checks the result lies below /Volumes and is
    // not the start-up volume. On failure returns false with a message.
    static bool resolveMountPoint(const std::string &argument, std::string &resolved, std::string &error);
    // A volume name: not empty, not "." or "..", no "/", no control characters, at most 255 bytes.
    static bool validateName(const std::string &name, std::string &error);
    // The ext4 label for a volume name: the longest prefix of whole UTF-8 characters within 16 bytes.
    static std::string ext4Label(const std::string &name);
};

} // namespace disktools
