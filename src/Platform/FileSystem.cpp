#include "Platform/FileSystem.h"

#include "Platform/Posix/RegularFile.h"

#include <QFile>
#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

bool FileSystem::exists(const QString &path)
{
    struct stat info
    {};
    return !path.isEmpty() && ::stat(QFile::encodeName(path).constData(), &info) == 0;
}

bool FileSystem::isDirectory(const QString &path)
{
    struct stat info
    {};
    return !path.isEmpty() && ::stat(QFile::encodeName(path).constData(), &info) == 0 &&
           S_ISDIR(info.st_mode);
}

int64_t FileSystem::itemSize(const QString &path)
{
    struct stat info
    {};
    if (path.isEmpty() || ::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return 0;
    return static_cast<int64_t>(info.st_size);
}

namespace {

// Visits everything below the open folder; the visitor gets the folder's descriptor, the entry's name and its
// own information. Unreadable folders and entries are passed over.
template <class Visitor> void walkFolder(int folder, Visitor &visit)
{
    DIR *listing = ::fdopendir(folder);
    if (!listing) {
        ::close(folder);
        return;
    }
    while (const dirent *entry = ::readdir(listing)) {
        const char *name = entry->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
            continue;
        struct stat info
        {};
        if (::fstatat(folder, name, &info, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        visit(folder, name, info);
        if (S_ISDIR(info.st_mode)) {
            const int child = ::openat(folder, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (child >= 0)
                walkFolder(child, visit);
        }
    }
    ::closedir(listing); // closes the descriptor too
}

template <class Visitor> void walk(const QString &path, Visitor &visit)
{
    // The start path is followed if it is a link to a folder, as the platform does.
    const int root = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (root >= 0)
        walkFolder(root, visit);
}

} // namespace

void FileSystem::walkBelow(const QString &path, const std::function<void(const struct stat &)> &visit)
{
    auto visitor = [&visit](int, const char *, const struct stat &info) { visit(info); };
    walk(path, visitor);
}

int64_t FileSystem::totalSizeBelow(const QString &path)
{
    int64_t total = 0;
    auto visitor = [&total](int folder, const char *name, const struct stat &info) {
        if (S_ISLNK(info.st_mode)) {
            // A link whose target is missing counts as nothing.
            struct stat target
            {};
            if (::fstatat(folder, name, &target, 0) != 0)
                return;
        }
        total += static_cast<int64_t>(info.st_size);
    };
    walk(path, visitor);
    return total;
}

std::optional<QByteArray> FileSystem::readRegularFile(const QByteArray &path, qint64 cap)
{
    const auto data =
        posix::RegularFile::read(path.toStdString(), static_cast<size_t>(std::max<qint64>(cap, 0)));
    if (!data)
        return std::nullopt;
    return QByteArray(data->data(), static_cast<qsizetype>(data->size()));
}

std::optional<QByteArray> FileSystem::readRegularFile(const QString &path, qint64 cap)
{
    return readRegularFile(QFile::encodeName(path), cap);
}

} // namespace platform
