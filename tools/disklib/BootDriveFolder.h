#pragma once

#include "Platform/Posix/FileDescriptor.h"

#include <string>

namespace disktools {

// The one hidden folder of BootDrive's at the top of a drive it made (".BootDrive"), for what the drive's
// file system cannot keep itself. Its first record is the drive's full name: an ext4 label holds 16 bytes,
// so "Install macOS Mojave" would come back as "Install macOS Mo" once the drive is plugged in again, where
// an HFS+ volume keeps its whole name.
class BootDriveFolder
{
public:
    static constexpr const char *Name = ".BootDrive";

    // The folder at the top of the volume open as `top`, made (0755) when missing: only a real folder on the
    // volume's own file system, never a link or anything else in its place. Invalid, with `error` saying
    // why, otherwise.
    static posix::FileDescriptor open(int top, std::string &error);
    // Writes the name into the folder at the top of the volume open as `top`; the folder is made.
    static bool keepName(int top, const std::string &name, std::string &error);
    // The full name kept on the volume open as `top`, read as anything on a drive is read, as hostile data:
    // only a regular file (no link, FIFO or device) of at most 255 bytes, "/" and control characters
    // replaced with "_", and only when the volume's label (as a volume name) begins it. Empty otherwise.
    static std::string keptName(int top, const std::string &label);
};

} // namespace disktools
