#pragma once

#include "Platform/Posix/FileDescriptor.h"

#include <cstdint>
#include <string>
#include <sys/types.h>

// The volume the tool erased, held open by its top folder from the moment it is mounted. Everything written
// to the drive goes through this descriptor, never through the mount point path: a drive can be ejected or
// pulled (a lazy unmount) while the tool works, and the path then leads into the bare folder below it, or to
// another volume mounted there.
class HeldVolume
{
public:
    // Opens the top folder mounted at the path and checks that it is the root of a file system on the
    // device, mounted exactly there.
    bool open(const std::string &mountPoint, dev_t device, std::string &error);

    int fd() const { return m_fd.get(); }
    const std::string &mountPoint() const { return m_mountPoint; }
    // Whether the mount point path still leads to the held volume (the same mount, the same root folder).
    bool stillMounted(std::string &error) const;
    // Once the volume has gone from its mount point, the folder left there goes too, when the tools made it
    // and nothing was put in it: the next drive of the same name gets the name itself, not "… 1".
    void removeFolderIfLeft() const;

private:
    struct Identity
    {
        dev_t device = 0;
        ino_t inode = 0;
        uint64_t mountId = 0; // 0 where the kernel does not say
    };
    static bool identify(int dirFd, const char *path, int flags, Identity &identity);

    posix::FileDescriptor m_fd;
    std::string m_mountPoint;
    Identity m_identity;
};
