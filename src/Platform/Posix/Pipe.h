#pragma once

#include "Platform/Posix/FileDescriptor.h"

namespace posix {

// Both ends of a pipe, each closed with its owner; close-on-exec, so only descriptors given to a child on
// purpose reach it.
struct Pipe
{
    FileDescriptor read;
    FileDescriptor write;

    // False, with errno, when the kernel gives no pipe.
    bool open();
};

} // namespace posix
