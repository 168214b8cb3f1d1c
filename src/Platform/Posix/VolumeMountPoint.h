#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace posix {

class MountPointLock;

// Where a newly made volume is mounted: "<root>/<name>", or, while that name is taken by anything at all (a
// mount, a folder, a symbolic link, a file), "<root>/<name> 1", "<root>/<name> 2", … as a second volume of
// the same name gets on a Mac. A mount point is claimed by creating its folder, which only one process can
// do, so two volumes made at the same time never share one, and nothing that was there is ever followed or
// reused.
//
// Each folder claimed carries a mark of ours, so that it can go with its volume: a later run of any of the
// tools removes it when the volume is unmounted or cannot be mounted, and a claim takes over one that a
// volume unmounted by someone else (a desktop, the user) left empty. A folder the user made has no mark and
// is never removed. The mark is an extended attribute in the "trusted" namespace, which only root can set
// or read: it lives and goes with the folder itself, so it can neither outlive it nor name a folder made
// later at the same path or on a reused inode, and it stays in the mount namespace the folder belongs to.
// Its value is the folder's path, so a marked folder moved elsewhere counts as the user's.
class VolumeMountPoint
{
public:
    static constexpr int MaxSuffix = 99;
    static constexpr const char *MarkName = "trusted.bootdrive.mount-point";

    // "<root>/<name>" for suffix 0, "<root>/<name> <suffix>" otherwise.
    static std::string candidate(const std::string &root, const std::string &name, int suffix);
    // Creates and marks the first free folder below the lock's root and returns its path; empty when none
    // could be made (`error` holds the errno of the last attempt). An empty folder of ours is free. The
    // caller keeps the lock until the volume is mounted there.
    static std::string claim(const MountPointLock &lock, const std::string &name, mode_t mode, int &error);
    // The folder claim() would take now, where the paths in `freed` count as free (the mount points of a
    // volume about to be erased, whose folders go with it); empty when no candidate is free. Only root sees
    // the marks, so for anyone else every folder counts as taken.
    static std::string predict(const std::string &root, const std::string &name,
                               const std::vector<std::string> &freed = {});
    // Removes the folder at `path` when it is ours and empty, so when no volume is mounted there; true when
    // it went. Under the lock, so that it is never one that another tool has just claimed. A folder of ours
    // that something was put in has become someone's: it loses the mark and stays for good.
    static bool release(const MountPointLock &lock, const std::string &path);
    // Whether the folder at `path` (not followed when a link) carries our mark for that path.
    static bool isMarked(const std::string &path);
};

} // namespace posix
