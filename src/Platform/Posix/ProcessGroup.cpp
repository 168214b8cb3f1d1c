#include "Platform/Posix/ProcessGroup.h"

#include "Platform/Posix/FileDescriptor.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace posix {

bool ProcessGroup::isAlive(pid_t group, pid_t except)
{
    if (group <= 0 || (::kill(-group, 0) != 0 && errno == ESRCH))
        return false;
    DIR *proc = ::opendir("/proc");
    if (!proc)
        return true;
    bool alive = false;
    while (const dirent *entry = ::readdir(proc)) {
        char *end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        if (*end != '\0' || pid <= 0 || pid == except)
            continue;
        char path[64];
        std::snprintf(path, sizeof path, "/proc/%ld/stat", pid);
        const FileDescriptor stat(::open(path, O_RDONLY | O_CLOEXEC));
        char line[512];
        const ssize_t n = stat ? ::read(stat.get(), line, sizeof line - 1) : -1;
        if (n <= 0)
            continue;
        line[n] = '\0';
        // "pid (name) state ppid pgrp …": the name may hold anything, so the fields count from its last ')'.
        const char *close = std::strrchr(line, ')');
        char state = 0;
        long ppid = 0, pgrp = 0;
        if (close && std::sscanf(close + 1, " %c %ld %ld", &state, &ppid, &pgrp) == 3 && state != 'Z' &&
            pgrp == group) {
            alive = true;
            break;
        }
    }
    ::closedir(proc);
    return alive;
}

} // namespace posix
