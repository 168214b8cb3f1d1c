#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <sys/stat.h>

namespace platform {

// File sizes and tree walks. Walks stat each entry relative to its folder's descriptor (as du does), which
// keeps the kernel from resolving whole paths again and again. Symbolic links are never followed.
class FileSystem
{
public:
    // Whether something exists at the path, following a symbolic link (a dangling link is nothing).
    static bool exists(const QString &path);
    static bool isDirectory(const QString &path);
    // The item's own size (a link counts with its own size); 0 when it cannot be read.
    static int64_t itemSize(const QString &path);
    // Calls the visitor with every item below the path at any depth (the path itself excluded), with the
    // item's own (lstat) information. A path that is not a folder has nothing below it.
    static void walkBelow(const QString &path, const std::function<void(const struct stat &info)> &visit);
    // Sum of the own sizes of everything below the path whose existence test passes (a dangling link counts
    // as nothing). Large trees are measured on two threads.
    static int64_t totalSizeBelow(const QString &path);
    // The contents of a regular file of at most `cap` bytes. Files on drives and in bundles may be FIFOs,
    // devices or links to them: those are never opened, so the caller cannot block, and count as missing,
    // as do larger files.
    static std::optional<QByteArray> readRegularFile(const QByteArray &path, qint64 cap);
    static std::optional<QByteArray> readRegularFile(const QString &path, qint64 cap);
};

} // namespace platform
