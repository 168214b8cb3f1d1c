#include "Platform/Volumes/FileSystem.h"

#include "Platform/Posix/Directory.h"
#include "Platform/Posix/RegularFile.h"
#include "Platform/Posix/SizeWalk.h"

#include <QFile>
#include <algorithm>
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

// The start path is followed if it is a link to a folder, as the platform does.
posix::FileDescriptor openTop(const QString &path)
{
    return posix::FileDescriptor(
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

} // namespace

void FileSystem::walkBelow(const QString &path, const std::function<void(const struct stat &)> &visit)
{
    if (const posix::FileDescriptor top = openTop(path))
        posix::Directory::walk(top.get(), [&visit](const posix::Directory::Entry &entry) {
            visit(entry.info);
            return true;
        });
}

int64_t FileSystem::totalSizeBelow(const QString &path)
{
    const posix::FileDescriptor top = openTop(path);
    return top ? posix::SizeWalk::below(top.get()).bytes : 0;
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
