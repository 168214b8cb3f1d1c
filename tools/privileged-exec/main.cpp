// bootdrive-privileged-exec: started by pkexec once polkit has granted the right. It tells the waiting
// application so by printing "authorized" on its own line, then becomes the requested program, whose output
// follows on the same stream.
//
//   bootdrive-privileged-exec [--cwd DIR] -- PROGRAM [ARGUMENTS...]
//   bootdrive-privileged-exec --check        (only reports the right)
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

int main(int argc, char **argv)
{
    const char *cwd = nullptr;
    int i = 1;
    if (argc == 2 && std::strcmp(argv[1], "--check") == 0) {
        std::fputs("authorized\n", stdout);
        return 0;
    }
    for (; i < argc; ++i) {
        if (std::strcmp(argv[i], "--cwd") == 0 && i + 1 < argc) {
            cwd = argv[++i];
        } else if (std::strcmp(argv[i], "--") == 0) {
            ++i;
            break;
        } else {
            std::fprintf(stderr, "bootdrive-privileged-exec: unexpected argument %s\n", argv[i]);
            return 2;
        }
    }
    if (i >= argc || argv[i][0] != '/') {
        std::fputs("bootdrive-privileged-exec: an absolute program path is required\n", stderr);
        return 2;
    }
    if (cwd && ::chdir(cwd) != 0) {
        std::fprintf(stderr, "bootdrive-privileged-exec: cannot enter %s: %s\n", cwd, std::strerror(errno));
        return 2;
    }
    std::fputs("authorized\n", stdout);
    std::fflush(stdout);
    // The program keeps the argument vector as given, its own path included as argv[0].
    ::execv(argv[i], argv + i);
    std::fprintf(stderr, "bootdrive-privileged-exec: cannot run %s: %s\n", argv[i], std::strerror(errno));
    return 127;
}
