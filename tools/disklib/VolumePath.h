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
    // not the start-up volume. On failure returns false with a message that names what was to be done
    // ("erase", "erased").
    static bool resolveMountPoint(const std::string &argument, std::string &resolved, std::string &error,
                                  const std::string &verb = "erase", const std::string &done = "erased");
    // Whether the path lies below /Volumes (itself resolved) and its last component is not hidden: where the
    // application looks for drives.
    static bool isListedMountPoint(const std::string &path);
    // A volume name: not empty, not "." or "..", no "/", no control characters, at most 255 bytes.
    static bool validateName(const std::string &name, std::string &error);
    // A volume name made of a file system's label: characters a name cannot hold become "_"; `fallback` when
    // nothing usable is left.
    static std::string nameFromLabel(const std::string &label, const std::string &fallback);
    // The ext4 label for a volume name: the longest prefix of whole UTF-8 characters within 16 bytes.
    static std::string ext4Label(const std::string &name);
};

} // namespace disktools
