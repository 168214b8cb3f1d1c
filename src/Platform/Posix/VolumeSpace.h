#pragma once

#include <cstdint>
#include <sys/stat.h>

namespace posix {

// What a folder tree will occupy once copied onto a freshly erased drive, and whether a drive of a given
// capacity can take it. The erase rebuilds the file system over the whole device, so the drive's capacity,
// not its current free space, is what counts, less what the new file system keeps for itself.
class VolumeSpace
{
public:
    // Counts one item of the tree (its own lstat information).
    void add(const struct stat &info);
    uint64_t fileBytes() const { return m_fileBytes; }
    uint64_t entryCount() const { return m_files + m_directories + m_others; }
    // Space the tree takes on a file system with that block size, with a margin for extent blocks and long
    // links.
    uint64_t needed(uint64_t blockSize) const;

    // What a new file system keeps of a device of that capacity (journal, inode tables, group metadata):
    // a conservative bound measured with mkfs.ext4 -m 0 on devices from 32 MiB to 256 GiB
    // (docs/disk-tools.md).
    static uint64_t formatOverhead(uint64_t capacity);
    // The smallest device capacity that holds the tree after the erase.
    uint64_t capacityNeeded() const;
    bool fitsOn(uint64_t capacity) const { return capacity >= capacityNeeded(); }

private:
    uint64_t m_fileBytes = 0;
    uint64_t m_blocks4k = 0;
    uint64_t m_files = 0;
    uint64_t m_directories = 0;
    uint64_t m_others = 0;
    uint64_t m_blocks1k = 0;
};

} // namespace posix
