#include "Platform/Posix/MountPointLock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <utility>

namespace posix {

MountPointLock::MountPointLock(std::string root)
    : m_root(std::move(root)), m_fd(::open(m_root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
{
    if (!m_fd)
        return;
    int locked = -1;
    do
        locked = ::flock(m_fd.get(), LOCK_EX);
    while (locked != 0 && errno == EINTR);
    m_held = locked == 0;
}

} // namespace posix
