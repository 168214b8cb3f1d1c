#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace posix {

// One line of /proc/self/mountinfo, escapes decoded.
struct MountEntry
{
    int id = 0;
    int parentId = 0;
    unsigned major = 0;
    unsigned minor = 0;
    std::string root;
    std::string mountPoint;
    std::string options; // per-mount options: rw, nosuid, nodev, ...
    std::string fsType;
    std::string source;

    dev_t device() const;
};

// The mount table of this process's mount namespace, in the kernel's order (later entries stack on earlier).
class MountInfo
{
public:
    static std::vector<MountEntry> read(const std::string &path = "/proc/self/mountinfo");
    static std::vector<MountEntry> parse(std::string_view text);
    // The kernel writes blanks, tabs, line ends and backslashes as three-digit octal escapes.
    static std::string decode(std::string_view field);
    // The topmost entry mounted exactly at the path.
    static std::optional<MountEntry> at(const std::vector<MountEntry> &entries,
                                        const std::string &mountPoint);
    static std::vector<MountEntry> ofDevice(const std::vector<MountEntry> &entries, dev_t device);
    // mount(2) flags equivalent to the per-mount options, so a volume can be mounted again as it was.
    static unsigned long flagsFromOptions(const std::string &options);
};

} // namespace posix
