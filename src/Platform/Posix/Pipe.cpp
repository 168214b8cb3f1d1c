#include "Platform/Posix/Pipe.h"

#include <fcntl.h>
#include <unistd.h>

namespace posix {

bool Pipe::open()
{
    int fds[2] = {-1, -1};
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return false;
    read.reset(fds[0]);
    write.reset(fds[1]);
    return true;
}

} // namespace posix
