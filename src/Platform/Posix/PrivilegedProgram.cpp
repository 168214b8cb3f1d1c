#include "Platform/Posix/PrivilegedProgram.h"

#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace posix {

namespace {

constexpr const char *creationTool = "/Contents/Resources/createinstallmedia";

bool endsWith(const std::string &text, const std::string &end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// "." and ".." would let a path that reads like a bundle's tool lead anywhere.
bool hasDotComponent(const std::string &path)
{
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        const std::string component = path.substr(start, end - start);
        if (component == "." || component == "..")
            return true;
        start = end + 1;
    }
    return false;
}

} // namespace

bool PrivilegedProgram::isOwnToolName(const std::string &name)
{
    return name == "diskutil" || name == "bootdrive-privileged-exec" || name == "bootdrive-record";
}

std::string PrivilegedProgram::whyRefused(const std::string &path, const std::string &toolFolder)
{
    if (path.empty() || path[0] != '/')
        return "an absolute program path is required";
    if (hasDotComponent(path) || path.find("//") != std::string::npos)
        return "the program path must not contain \".\", \"..\" or empty components";
    const size_t slash = path.rfind('/');
    const std::string folder = path.substr(0, slash == 0 ? 1 : slash);
    const std::string name = path.substr(slash + 1);
    const bool bundleTool = endsWith(path, creationTool) && path.size() > std::string(creationTool).size();
    // The folder may be reached through links; the tool itself may not (below).
    char resolved[PATH_MAX];
    const bool ownTool = !toolFolder.empty() && isOwnToolName(name) && ::realpath(folder.c_str(), resolved) &&
                         toolFolder == resolved;
    if (!bundleTool && !ownTool)
        return "only an installer's Contents/Resources/createinstallmedia or BootDrive's own tools run with "
               "administrator rights";
    // The last component itself, not what a link there points to.
    struct stat info
    {};
    if (::lstat(path.c_str(), &info) != 0)
        return "the program does not exist";
    if (S_ISLNK(info.st_mode))
        return "the program is a symbolic link";
    if (!S_ISREG(info.st_mode))
        return "the program is not a regular file";
    if (::access(path.c_str(), X_OK) != 0)
        return "the program is not executable";
    return {};
}

} // namespace posix
