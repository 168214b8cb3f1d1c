#pragma once

#include <string>

namespace posix {

// What file system a block device holds, read from the device itself by libblkid (as blkid -p does, never
// from a cache): its type, what it is for ("filesystem", "raid", "crypto", "other") and its label's bytes as
// the file system keeps them. Reading a device node needs the right to open it.
class VolumeProbe
{
public:
    struct Result
    {
        int error = 0; // the errno of the failed open or read; 0 when the device could be read
        std::string type;
        std::string usage;
        std::string label;

        bool found() const { return error == 0 && !type.empty(); }
        // The device went away before it could be read (a stick pulled, a loop device detached).
        bool gone() const;
    };

    static Result probe(const std::string &node);
};

} // namespace posix
