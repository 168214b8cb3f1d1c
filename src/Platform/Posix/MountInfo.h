#pragma once

#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace posix {

// One mount of /proc/self/mountinfo, escapes decoded: the paths are the file system's bytes.
struct MountEntry
{
    int id = 0;
    dev_t device = 0;
    std::string root;
    std::string mountPoint;
    std::string options; // per-mount options: rw, nosuid, nodev, ...
    std::string fsType;
    std::string source;
};

// The mount table of this process's mount namespace, in the kernel's order (later entries stack on earlier),
// as libmount parses the kernel's file itself: not the merged view of a mount helper's mtab.
class MountInfo
{
public:
    static std::vector<MountEntry> read(const std::string &path = "/proc/self/mountinfo");
    // The topmost entry mounted exactly at the path.
    static std::optional<MountEntry> at(const std::vector<MountEntry> &entries,
                                        const std::string &mountPoint);
    // mount(2) flags equivalent to the per-mount options, so a volume can be mounted again as it was.
    static unsigned long flagsFromOptions(const std::string &options);
};

} // namespace posix
