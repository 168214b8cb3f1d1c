#include "disklib/VolumePath.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace disktools {

namespace {

std::string realPath(const std::string &path, int &error)
{
    char buffer[PATH_MAX];
    if (!::realpath(path.c_str(), buffer)) {
        error = errno;
        return {};
    }
    error = 0;
    return buffer;
}

} // namespace

std::string VolumePath::volumesRoot()
{
    int error = 0;
    std::string root = realPath("/Volumes", error);
    return root.empty() ? std::string("/Volumes") : root;
}

bool VolumePath::resolveMountPoint(const std::string &argument, std::string &resolved, std::string &error)
{
    if (argument.empty()) {
        error = "no mount point given";
        return false;
    }
    int code = 0;
    resolved = realPath(argument, code);
    if (resolved.empty()) {
        error = "cannot find a volume at \"" + argument + "\" (" + std::strerror(code) + ")";
        return false;
    }
    if (resolved == "/") {
        error = "refusing to erase the start-up volume \"/\"";
        return false;
    }
    const std::string root = volumesRoot() + "/";
    if (resolved.size() <= root.size() || resolved.compare(0, root.size(), root) != 0) {
        error = "refusing to erase \"" + argument + "\": only volumes mounted below /Volumes can be erased";
        return false;
    }
    return true;
}

bool VolumePath::validateName(const std::string &name, std::string &error)
{
    if (name.empty() || name == "." || name == "..") {
        error = "invalid volume name \"" + name + "\"";
        return false;
    }
    if (name.size() > NAME_MAX) {
        error = "the volume name is too long (at most " + std::to_string(NAME_MAX) + " bytes)";
        return false;
    }
    for (unsigned char c : name) {
        if (c == '/' || c < 0x20 || c == 0x7f) {
            error = "invalid volume name \"" + name + "\": it must not contain \"/\" or control characters";
            return false;
        }
    }
    return true;
}

std::string VolumePath::ext4Label(const std::string &name)
{
    constexpr size_t limit = 16;
    if (name.size() <= limit)
        return name;
    size_t cut = limit;
    // Step back over continuation bytes so no character is split.
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
        --cut;
    return name.substr(0, cut);
}

} // namespace disktools
