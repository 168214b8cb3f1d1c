#pragma once

#include "Platform/Volumes/DriveRecord.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

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
    // When the trees are the same, `items`, if given, receives every item below the copy's top as it was
    // compared (paths relative to that top), each file with its content's hash.
    static Result compare(const std::string &original, const std::string &copy, dev_t copyDevice,
                          const std::atomic<bool> &cancel, const Progress &progress = {},
                          std::vector<DriveRecord::Item> *items = nullptr);

    struct Check
    {
        enum class Outcome
        {
            Intact,  // every item of the record stands on the drive as recorded
            Damaged, // `changed` names what is missing or differs
            Refused, // `path` could not be read: `reason`
            Cancelled,
        };
        struct Difference
        {
            std::string path;
            std::string reason;
        };
        Outcome outcome = Outcome::Intact;
        std::vector<Difference> changed; // in the record's order
        std::vector<std::string> added;  // inside the recorded folders, on the drive only
        std::string path;
        std::string reason;
        uint64_t bytes = 0; // file data read
    };
    // Reads the drive mounted at `volume` against its record, as the comparison reads a copy: from the
    // drive itself, every item through its folder's descriptor, no link followed, access times left alone
    // where allowed. Only what the record names is looked at, and items found in its folders that it does
    // not name are listed as added. Nothing on the drive is changed.
    static Check check(const std::string &volume, const DriveRecord &record, dev_t device,
                       const std::atomic<bool> &cancel, const Progress &progress = {});
};

} // namespace platform
