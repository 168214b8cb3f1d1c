#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <sys/types.h>

namespace platform {

// Compares a folder tree with its copy on a drive: every folder, regular file and symbolic link of the
// original must stand in the copy with the same name, kind, mode, size or link target, and every file with
// the same content (128-bit XXH3 of both sides, read in parallel). The copy is read from the drive itself,
// not from what the kernel still caches of the writes: a drive that lost writes, or that claims more
// capacity than it has, shows up as a difference.
class TreeVerifier
{
public:
    struct Result
    {
        enum class Outcome
        {
            Same,
            Different,  // `path` names the first item that differs, `reason` says how
            Unreadable, // the original or the copy could not be read: `path`, `reason`
            Cancelled,
        };
        Outcome outcome = Outcome::Same;
        std::string path; // relative to the trees' tops; the top itself is "."
        std::string reason;
        uint64_t bytes = 0; // file data read from each side
    };
    using Progress = std::function<void(uint64_t bytesDone, uint64_t bytesTotal)>;

    // copyDevice: when not 0, the copy must lie on that device (the drive the job wrote). `cancel` is
    // checked between pieces; `progress` is called from worker threads.
    static Result compare(const std::string &original, const std::string &copy, dev_t copyDevice,
                          const std::atomic<bool> &cancel, const Progress &progress = {});
};

} // namespace platform
