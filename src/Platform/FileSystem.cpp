#include "Platform/FileSystem.h"

#include <QFile>
#include <fts.h>

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

void FileSystem::walkBelow(const QString &path,
                           const std::function<void(const char *, const struct stat &)> &visit)
{
    if (!isDirectory(path))
        return;
    QByteArray root = QFile::encodeName(path);
    char *roots[] = {root.data(), nullptr};
    // FTS_COMFOLLOW: a start path that is itself a link to a folder is walked, as the platform does.
    FTS *fts = fts_open(roots, FTS_PHYSICAL | FTS_NOCHDIR | FTS_COMFOLLOW, nullptr);
    if (!fts)
        return;
    while (FTSENT *entry = fts_read(fts)) {
        if (entry->fts_level == 0)
            continue;
        // FTS_DP is a folder seen again after its contents; FTS_ERR and FTS_NS carry no usable information.
        if (entry->fts_info == FTS_DP || entry->fts_info == FTS_ERR || entry->fts_info == FTS_NS)
            continue;
        visit(entry->fts_path, *entry->fts_statp);
    }
    fts_close(fts);
}

int64_t FileSystem::totalSizeBelow(const QString &path)
{
    int64_t total = 0;
    walkBelow(path, [&total](const char *item, const struct stat &info) {
        if (S_ISLNK(info.st_mode)) {
            struct stat target
            {};
            if (::stat(item, &target) != 0)
                return;
        }
        total += static_cast<int64_t>(info.st_size);
    });
    return total;
}

} // namespace platform
