#include "Platform/Posix/VolumeMountPoint.h"

#include "Platform/Posix/Directory.h"
#include "Platform/Posix/MountPointLock.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>

namespace posix {

namespace {

// Made and marked; a folder that cannot carry the mark (a file system without extended attributes) is still
// a mount point, only one that stays when its volume goes, like the user's own.
bool makeMarked(const std::string &path, mode_t mode)
{
    if (::mkdir(path.c_str(), mode) != 0)
        return false;
    ::lsetxattr(path.c_str(), VolumeMountPoint::MarkName, path.data(), path.size(), XATTR_CREATE);
    return true;
}

bool isEmptyFolder(const std::string &path)
{
    const FileDescriptor folder = Directory::openFolder(AT_FDCWD, path.c_str());
    std::vector<std::string> names;
    return folder && Directory::entries(folder.get(), names) && names.empty();
}

} // namespace

std::string VolumeMountPoint::candidate(const std::string &root, const std::string &name, int suffix)
{
    std::string path = root + "/" + name;
    if (suffix > 0)
        path += " " + std::to_string(suffix);
    return path;
}

bool VolumeMountPoint::isMarked(const std::string &path)
{
    std::string value(path.size() + 1, '\0');
    const ssize_t length = ::lgetxattr(path.c_str(), MarkName, value.data(), value.size());
    return length == static_cast<ssize_t>(path.size()) && value.compare(0, path.size(), path) == 0;
}

std::string VolumeMountPoint::claim(const MountPointLock &lock, const std::string &name, mode_t mode,
                                    int &error)
{
    error = 0;
    for (int suffix = 0; suffix <= MaxSuffix; ++suffix) {
        const std::string path = candidate(lock.root(), name, suffix);
        if (makeMarked(path, mode))
            return path;
        error = errno;
        if (error != EEXIST)
            return {};
        // Only under the lock: otherwise the folder could be one another tool has claimed a moment ago and
        // is about to mount on.
        if (lock.isHeld() && release(lock, path)) {
            if (makeMarked(path, mode))
                return path;
            error = errno;
        }
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
            (::lstat(path.c_str(), &info) != 0 && errno == ENOENT) ||
            (S_ISDIR(info.st_mode) && isMarked(path) && isEmptyFolder(path)))
            return path;
    }
    return {};
}

bool VolumeMountPoint::release(const MountPointLock &, const std::string &path)
{
    // A volume mounted at the path hides the folder: the mark is then looked for on the volume's own top
    // folder, which has none, and rmdir would refuse a mount point anyway.
    if (!isMarked(path))
        return false;
    if (::rmdir(path.c_str()) == 0)
        return true;
    if (errno == ENOTEMPTY || errno == EEXIST)
        ::lremovexattr(path.c_str(), MarkName);
    return false;
}

} // namespace posix
