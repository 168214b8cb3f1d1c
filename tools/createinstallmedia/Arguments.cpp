#include "Arguments.h"

#include <climits>
#include <cstdlib>

namespace {

std::string realPath(const char *path)
{
    char buffer[PATH_MAX];
    return ::realpath(path, buffer) ? std::string(buffer) : std::string();
}

} // namespace

Arguments Arguments::parse(int argc, char **argv, const std::string &selfPath)
{
    Arguments result;
    int i = 1;
    if (argc > 1 && !selfPath.empty() && realPath(argv[1]) == selfPath)
        ++i;
    for (; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--volume" || argument == "--applicationpath") {
            if (i + 1 >= argc) {
                result.error = argument + " needs a path";
                return result;
            }
            std::string &target = argument == "--volume" ? result.volume : result.applicationPath;
            if (!target.empty()) {
                result.error = argument == "--volume" ? "more than one volume given"
                                                      : "more than one installer application given";
                return result;
            }
            target = argv[++i];
            if (target.empty()) {
                result.error = argument + " needs a path";
                return result;
            }
        } else if (argument == "--nointeraction") {
            result.noInteraction = true;
        } else if (argument.rfind("--", 0) == 0) {
            result.error = "unknown option " + argument;
            return result;
        } else if (argument.empty()) {
            result.error = "empty argument";
            return result;
        } else if (result.applicationPath.empty()) {
            result.applicationPath = argument;
        } else {
            result.error = "more than one installer application given";
            return result;
        }
    }
    if (result.volume.empty())
        result.error = "no volume given";
    return result;
}

std::string Arguments::usage()
{
    return "Usage: createinstallmedia --volume <path to volume to convert>\n"
           "\n"
           "Arguments\n"
           "--volume, A path to a volume that can be unmounted and erased to create the install media.\n"
           "--applicationpath, A path to copy of the OS installer application to create the bootable media "
           "from.\n"
           "--nointeraction, Erase the disk pointed to by volume without prompting for confirmation.\n";
}
