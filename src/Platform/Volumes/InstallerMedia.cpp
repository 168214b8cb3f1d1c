#include "Platform/Volumes/InstallerMedia.h"

#include "Platform/Posix/FileDescriptor.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// The volume's top folder itself, never a link standing in for it.
posix::FileDescriptor openTop(const QByteArray &mountPoint)
{
    return posix::FileDescriptor(
        ::open(mountPoint.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

} // namespace

bool InstallerMedia::isFinished(const QByteArray &mountPoint)
{
    const posix::FileDescriptor top = openTop(mountPoint);
    struct stat info
    {};
    return top && ::fstatat(top.get(), MarkerName, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode);
}

bool InstallerMedia::markUnfinished(const QByteArray &mountPoint)
{
    const posix::FileDescriptor top = openTop(mountPoint);
    if (!top)
        return false;
    bool gone = true;
    for (const char *name : {MarkerName, IconName})
        if (::unlinkat(top.get(), name, 0) != 0 && errno != ENOENT)
            gone = false;
    ::syncfs(top.get());
    return gone;
}

} // namespace platform
