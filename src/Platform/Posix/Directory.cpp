#include "Platform/Posix/Directory.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace posix {

bool Directory::entries(int folder, std::vector<std::string> &names)
{
    // fdopendir takes the descriptor over; the caller keeps its own.
    const int copy = ::dup(folder);
    DIR *listing = copy >= 0 ? ::fdopendir(copy) : nullptr;
    if (!listing) {
        const int code = errno;
        if (copy >= 0)
            ::close(copy);
        errno = code;
        return false;
    }
    errno = 0;
    while (const dirent *entry = ::readdir(listing))
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.emplace_back(entry->d_name);
    const int code = errno;
    ::closedir(listing);
    std::sort(names.begin(), names.end());
    errno = code;
    return code == 0;
}

FileDescriptor Directory::openFolder(int parent, const char *name)
{
    return FileDescriptor(::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

std::string Directory::child(const std::string &relative, const std::string &name)
{
    return relative.empty() ? name : relative + "/" + name;
}

namespace {

// 0: finished; 1: stopped by the visitor; -1: stopped by an error.
int walkFolder(int folder, const std::string &relative,
               const std::function<bool(const Directory::Entry &)> &visit, Directory::OnError onError,
               std::string *failedPath)
{
    auto fail = [&](const std::string &path) {
        if (onError == Directory::OnError::Skip)
            return 0;
        const int code = errno;
        if (failedPath)
            *failedPath = path;
        errno = code;
        return -1;
    };
    std::vector<std::string> names;
    if (!Directory::entries(folder, names))
        return fail(relative);
    for (const std::string &name : names) {
        const std::string path = Directory::child(relative, name);
        struct stat info
        {};
        if (::fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
            if (fail(path) < 0)
                return -1;
            continue;
        }
        if (!visit(Directory::Entry{folder, name, path, info}))
            return 1;
        if (!S_ISDIR(info.st_mode))
            continue;
        const FileDescriptor sub = Directory::openFolder(folder, name.c_str());
        if (!sub) {
            if (fail(path) < 0)
                return -1;
            continue;
        }
        if (const int stopped = walkFolder(sub.get(), path, visit, onError, failedPath); stopped != 0)
            return stopped;
    }
    return 0;
}

} // namespace

bool Directory::walk(int top, const std::function<bool(const Entry &)> &visit, OnError onError,
                     std::string *failedPath)
{
    return walkFolder(top, "", visit, onError, failedPath) >= 0;
}

} // namespace posix
