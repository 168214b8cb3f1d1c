#include "Platform/Posix/VolumeMountPoint.h"

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>

namespace posix {

std::string VolumeMountPoint::candidate(const std::string &root, const std::string &name, int suffix)
{
    std::string path = root + "/" + name;
    if (suffix > 0)
        path += " " + std::to_string(suffix);
    return path;
}

std::string VolumeMountPoint::claim(const std::string &root, const std::string &name, mode_t mode, int &error)
{
    error = 0;
    for (int suffix = 0; suffix <= MaxSuffix; ++suffix) {
        const std::string path = candidate(root, name, suffix);
        if (::mkdir(path.c_str(), mode) == 0)
            return path;
        error = errno;
        if (error != EEXIST)
            return {};
    }
    return {};
}

std::string VolumeMountPoint::predict(const std::string &root, const std::string &name,
                                      const std::vector<std::string> &freed)
{
    for (int suffix = 0; suffix <= MaxSuffix; ++suffix) {
        const std::string path = candidate(root, name, suffix);
        struct stat info
        {};
        if (std::find(freed.begin(), freed.end(), path) != freed.end() ||
            (::lstat(path.c_str(), &info) != 0 && errno == ENOENT))
            return path;
    }
    return {};
}

} // namespace posix
