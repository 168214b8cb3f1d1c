#include "Platform/Posix/RegularFile.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>

namespace posix {

namespace {

// Reopens the located object itself, not its name, so a swap of the name in between changes nothing.
FileDescriptor reopenRegular(const FileDescriptor &located)
{
    struct stat info
    {};
    if (!located || ::fstat(located.get(), &info) != 0)
        return FileDescriptor();
    if (!S_ISREG(info.st_mode)) {
        errno = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
        return FileDescriptor();
    }
    const std::string self = "/proc/self/fd/" + std::to_string(located.get());
    FileDescriptor file(::open(self.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat opened
    {};
    if (!file || ::fstat(file.get(), &opened) != 0)
        return FileDescriptor();
    if (!S_ISREG(opened.st_mode) || opened.st_dev != info.st_dev || opened.st_ino != info.st_ino) {
        errno = EINVAL;
        return FileDescriptor();
    }
    return file;
}

} // namespace

FileDescriptor RegularFile::open(const std::string &path)
{
    if (path.empty()) {
        errno = ENOENT;
        return FileDescriptor();
    }
    // O_PATH resolves the name without opening the object behind it.
    return reopenRegular(FileDescriptor(::open(path.c_str(), O_PATH | O_CLOEXEC)));
}

FileDescriptor RegularFile::openIn(int folder, const std::string &name)
{
    return reopenRegular(FileDescriptor(::openat(folder, name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC)));
}

std::optional<std::string> RegularFile::readAll(int fd, size_t cap)
{
    std::string data;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            return data;
        if (data.size() + static_cast<size_t>(n) > cap)
            return std::nullopt;
        data.append(buffer, static_cast<size_t>(n));
    }
}

std::optional<std::string> RegularFile::read(const std::string &path, size_t cap)
{
    const FileDescriptor file = open(path);
    if (!file)
        return std::nullopt;
    return readAll(file.get(), cap);
}

std::optional<std::string> RegularFile::readPrefix(const std::string &path, size_t count)
{
    const FileDescriptor file = open(path);
    if (!file)
        return std::nullopt;
    std::string data(count, '\0');
    size_t filled = 0;
    while (filled < count) {
        const ssize_t n = ::read(file.get(), data.data() + filled, count - filled);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            break;
        filled += static_cast<size_t>(n);
    }
    data.resize(filled);
    return data;
}

} // namespace posix
