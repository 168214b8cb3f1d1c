#pragma once

#include "Platform/Posix/FileDescriptor.h"

#include <string>

namespace posix {

// Our tools' hold on the mount point folders below a root (/Volumes) while they claim one and mount on it,
// or remove one. A tool that removes a folder it made, once that folder's volume is gone, must never remove
// a folder another tool has just claimed and not yet mounted on; holding this across claim and mount, and
// across each removal, rules that out. It is an advisory lock (flock) on the root folder itself, so it
// covers every process of the tools that sees that folder, whatever their mount namespace, and goes with
// the process that holds it, however that ends.
class MountPointLock
{
public:
    // Waits until the lock is free. Where the root cannot be opened or locked, isHeld() is false and callers
    // do only what is safe without it.
    explicit MountPointLock(std::string root);
    MountPointLock(const MountPointLock &) = delete;
    MountPointLock &operator=(const MountPointLock &) = delete;

    const std::string &root() const { return m_root; }
    bool isHeld() const { return m_held; }

private:
    std::string m_root;
    FileDescriptor m_fd;
    bool m_held = false;
};

} // namespace posix
