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

bool VolumePath::resolveMountPoint(const std::string &argument, std::string &resolved, std::string &error,
                                   const std::string &verb, const std::string &done)
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
        error = "refusing to " + verb + " the start-up volume \"/\"";
        return false;
    }
    const std::string root = volumesRoot() + "/";
    if (resolved.size() <= root.size() || resolved.compare(0, root.size(), root) != 0) {
        error = "refusing to " + verb + " \"" + argument + "\": only volumes mounted below /Volumes can be " +
                done;
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

bool VolumePath::isListedMountPoint(const std::string &path)
{
    const std::string root = volumesRoot() + "/";
    return path.size() > root.size() && path.compare(0, root.size(), root) == 0 &&
           path[path.rfind('/') + 1] != '.';
}

std::string VolumePath::nameFromLabel(const std::string &label, const std::string &fallback)
{
    std::string name;
    for (unsigned char c : label)
        name += c == '/' || c < 0x20 || c == 0x7f ? '_' : static_cast<char>(c);
    while (!name.empty() && name.back() == ' ')
        name.pop_back();
    while (!name.empty() && name.front() == ' ')
        name.erase(0, 1);
    std::string error;
    return validateName(name, error) ? name : fallback;
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
