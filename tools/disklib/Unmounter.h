#pragma once

#include "Platform/Posix/MountInfo.h"

#include <functional>
#include <string>
#include <vector>

namespace disktools {

// Takes volumes off their mount points without losing any: a busy one is tried again for a while, and when
// one cannot come off, those already taken off are mounted again where they were.
class Unmounter
{
public:
    // Unmounts each mount, the last (topmost) first, telling `unmounting` of each just before. On failure
    // the ones taken off are mounted again, and `error` says which could not come off and what was put back.
    // `unmounted` lists those taken off.
    static bool unmountAll(const std::vector<posix::MountEntry> &mounts,
                           std::vector<posix::MountEntry> &unmounted, std::string &error,
                           const std::function<void(const std::string &mountPoint)> &unmounting = {});
    // A volume that was mounted a moment ago is often busy briefly (a desktop or a file manager reads its
    // top folder and icon), and such readers let go quickly: a busy unmount is tried again for 5 s.
    static bool unmountPatiently(const std::string &mountPoint);
    // Mounts them again where they were, with their flags, the last unmounted first; says what happened
    // ("; the volume was mounted again at …").
    static std::string remount(const std::vector<posix::MountEntry> &unmounted);
};

} // namespace disktools
