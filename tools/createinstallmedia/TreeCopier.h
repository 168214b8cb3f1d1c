#pragma once

#include "Platform/Posix/Pipe.h"
#include "Platform/Posix/VolumeSpace.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <utility>
#include <vector>

// Copies a folder tree to another file system as fast as the kernel allows: file data moves with
// copy_file_range, else spliced through a pipe, without passing through this process (read/write only where
// the kernel refuses both), and the drive starts writing each piece as soon as it has landed, so the final
// flush finds little left to do. Modes, owners, times, symbolic links, hard links and special files are
// kept, as "cp -a" keeps them. A file that changes while it is copied fails the copy: its copy would be part
// old, part new.
class TreeCopier
{
public:
    // Called after every piece of file data and after every entry, with the bytes of file data copied so
    // far. Returning false stops the copy with the error it set.
    using Progress = std::function<bool(uint64_t copied, uint64_t total, std::string &error)>;

    // Walks the tree once to learn what the copy will need. Nothing is written.
    bool plan(const std::string &source, std::string &error);
    uint64_t totalBytes() const { return m_space.fileBytes(); }
    uint64_t entryCount() const { return m_space.entryCount(); }
    const posix::VolumeSpace &space() const { return m_space; }
    // Space the copy takes on a file system with that block size, with a margin for its own bookkeeping.
    uint64_t spaceNeeded(uint64_t blockSize) const;

    // Copies the tree into the folder open as destinationFolder, as the entry `name`, which must not exist
    // yet. Everything is created relative to that descriptor. Errors name the file.
    bool copy(const std::string &source, int destinationFolder, const std::string &name,
              const Progress &progress, std::string &error);

    // Deletes the entry `name` of the open folder and everything below it (what a failed copy left), staying
    // on its file system.
    static void removeTree(int folder, const std::string &name);

private:
    enum class Method
    {
        CopyFileRange,
        Splice,
        ReadWrite,
    };

    bool copyDirectory(int from, int to, const std::string &relative, std::string &error);
    bool copyEntry(int from, int to, const char *name, const std::string &relative, std::string &error);
    bool copyFile(int from, int to, const char *name, const struct stat &info, const std::string &relative,
                  std::string &error);
    bool copyData(int in, int out, const struct stat &before, const std::string &relative,
                  std::string &error);
    // Each moves up to `length` bytes from `offset` of `in` to the same offset of `out` and says how many
    // arrived (0 at the end of the file), or -1 with errno. A method the kernel refuses gives way to the
    // next.
    ssize_t movePiece(int in, int out, uint64_t offset, size_t length);
    ssize_t splicePiece(int in, int out, uint64_t offset, size_t length);
    ssize_t readWritePiece(int in, int out, uint64_t offset, size_t length);
    bool report(std::string &error);
    static bool applyAttributes(int fd, const struct stat &info);

    posix::VolumeSpace m_space;

    Method m_method = Method::CopyFileRange;
    // Empty between pieces; made on first use.
    posix::Pipe m_pipe;
    std::unique_ptr<char[]> m_buffer;
    uint64_t m_copied = 0;
    Progress m_progress;
    int m_destinationRoot = -1;
    // Files with more than one name: the first copy's path, so later names become hard links again.
    std::map<std::pair<dev_t, ino_t>, std::string> m_linked;
};
