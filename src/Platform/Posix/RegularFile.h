#pragma once

#include "Platform/Posix/FileDescriptor.h"

#include <cstddef>
#include <optional>
#include <string>

namespace posix {

// Opens and reads files that arrive from drives and bundles, which may be hostile: a FIFO, a device, or a
// link to one, must neither block the reader nor be opened at all (opening some devices has effects), and
// an endless file must not be read to exhaustion. Anything but a regular file counts as missing.
class RegularFile
{
public:
    // A read-only descriptor of the regular file at the path (links are followed to their target, which
    // must be a regular file too); invalid, with errno set, for anything else. The path is looked up
    // without opening what it names, so no device or FIFO is ever opened.
    static FileDescriptor open(const std::string &path);
    // The same for a name in the folder open as `folder`, where a symbolic link counts as missing too.
    static FileDescriptor openIn(int folder, const std::string &name);
    // The whole file when it is a regular file of at most `cap` bytes.
    static std::optional<std::string> read(const std::string &path, size_t cap);
    // At most the first `count` bytes of a regular file.
    static std::optional<std::string> readPrefix(const std::string &path, size_t count);
    // Reads the descriptor to its end; nothing when it holds more than `cap` bytes or a read fails.
    static std::optional<std::string> readAll(int fd, size_t cap);
};

} // namespace posix
