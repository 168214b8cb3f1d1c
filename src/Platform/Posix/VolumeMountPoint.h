#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace posix {

// Where a newly made volume is mounted: "<root>/<name>", or, while that name is taken by anything at all (a
// mount, a folder, a symbolic link, a file), "<root>/<name> 1", "<root>/<name> 2", … as a second volume of
// the same name gets on a Mac. A mount point is claimed by creating its folder, which only one process can
// do, so two volumes made at the same time never share one, and nothing that was there is ever followed or
// reused.
class VolumeMountPoint
{
public:
    static constexpr int MaxSuffix = 99;

    // "<root>/<name>" for suffix 0, "<root>/<name> <suffix>" otherwise.
    static std::string candidate(const std::string &root, const std::string &name, int suffix);
    // Creates the first free folder and returns its path; empty when none could be made (`error` holds the
    // errno of the last attempt).
    static std::string claim(const std::string &root, const std::string &name, mode_t mode, int &error);
    // The folder claim() would take now, where the paths in `freed` count as free (the mount points of a
    // volume about to be erased, whose folders go with it); empty when no candidate is free.
    static std::string predict(const std::string &root, const std::string &name,
                               const std::vector<std::string> &freed = {});
};

} // namespace posix
