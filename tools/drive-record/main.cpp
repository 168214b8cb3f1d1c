// bootdrive-record --volume <mount point> --device <major>:<minor>
//
// Writes a finished drive's record, given on standard input, to <mount point>/.BootDrive/record. The
// privileged helper runs it as root once the application has verified the drive, so it trusts neither its
// arguments nor what is on the drive: the mount point must lie directly below /Volumes and be the top of the
// file system on that very device; every name below it is opened relative to its folder without following
// a link; the input must be a record of at most 16 MiB; and the record replaces an older one only once it
// is wholly on the drive (a fresh file, written out, renamed into place, the folder written out). Nothing is
// written outside the record's folder. A refusal prints one "Error:" line and exits 2, before anything on the
// drive changes; a write that fails prints one and exits 1.

#include "Platform/Posix/FileDescriptor.h"
#include "Platform/Posix/RegularFile.h"
#include "Platform/Volumes/DriveRecord.h"
#include "disklib/BootDriveFolder.h"
#include "disklib/Console.h"
#include "disklib/VolumePath.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using disktools::Console;
using platform::DriveRecord;

namespace {

constexpr int kRefused = 2;
constexpr int kFailed = 1;

int refuse(const std::string &message)
{
    Console::error(message);
    return kRefused;
}

int fail(const std::string &message)
{
    Console::error(message + " (" + std::strerror(errno) + ")");
    return kFailed;
}

std::optional<unsigned> number(const std::string &text)
{
    if (text.empty() || text.size() > 7 || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    return static_cast<unsigned>(std::stoul(text));
}

// "8:17" as a device number.
std::optional<dev_t> deviceNumber(const std::string &text)
{
    const size_t colon = text.find(':');
    if (colon == std::string::npos)
        return std::nullopt;
    const auto major = number(text.substr(0, colon)), minor = number(text.substr(colon + 1));
    if (!major || !minor)
        return std::nullopt;
    return makedev(*major, *minor);
}

// A fresh file of our own in the folder: nothing that stands there is opened or followed. A leftover of a run
// that died is only a name in our folder, which goes.
posix::FileDescriptor freshFile(int folder, const std::string &name)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        posix::FileDescriptor file(
            ::openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
        if (file || errno != EEXIST || ::unlinkat(folder, name.c_str(), 0) != 0)
            return file;
    }
    return {};
}

int writeRecord(int folder, const std::string &text)
{
    const std::string temporary = std::string(".") + DriveRecord::FileName + ".new";
    posix::FileDescriptor file = freshFile(folder, temporary);
    if (!file)
        return fail("cannot create the record's file on the drive");
    // Whatever the umask, anyone may read what the drive says of itself.
    const bool written = ::fchmod(file.get(), 0644) == 0 &&
                         posix::FileDescriptor::writeAll(file.get(), text.data(), text.size()) &&
                         ::fsync(file.get()) == 0 && ::close(file.release()) == 0;
    if (!written || ::renameat(folder, temporary.c_str(), folder, DriveRecord::FileName) != 0) {
        const int error = errno;
        ::unlinkat(folder, temporary.c_str(), 0);
        errno = error;
        return fail("cannot write the record on the drive");
    }
    if (::fsync(folder) != 0)
        return fail("cannot write the record's folder out to the drive");
    return 0;
}

int usage(const std::string &problem)
{
    Console::error(problem);
    Console::line("Usage:  bootdrive-record --volume <mount point> --device <major>:<minor>");
    Console::line("        the record is read from standard input");
    return kRefused;
}

} // namespace

int main(int argc, char **argv)
{
    Console::ignoreBrokenPipe();
    std::optional<std::string> volume, device;
    for (int i = 1; i < argc; i += 2) {
        const std::string option = argv[i];
        std::optional<std::string> &value = option == "--volume" ? volume : device;
        if ((option != "--volume" && option != "--device") || value || i + 1 >= argc)
            return usage("expected --volume <mount point> and --device <major>:<minor>, once each");
        value = argv[i + 1];
    }
    if (!volume || !device)
        return usage("expected --volume <mount point> and --device <major>:<minor>, once each");
    const std::optional<dev_t> expected = deviceNumber(*device);
    if (!expected)
        return refuse("\"" + *device + "\" is not a device number (major:minor)");

    const std::string below = "/Volumes/";
    const std::string name = volume->compare(0, below.size(), below) == 0 ? volume->substr(below.size()) : "";
    std::string problem;
    if (name.find('/') != std::string::npos || !disktools::VolumePath::validateName(name, problem))
        return refuse("refusing to write a record at \"" + *volume +
                      "\": only a volume mounted directly below /Volumes can take one");
    const posix::FileDescriptor volumes(::open(disktools::VolumePath::volumesRoot().c_str(),
                                               O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    const posix::FileDescriptor top(
        volumes ? ::openat(volumes.get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)
                : -1);
    struct stat topInfo
    {
    }, parentInfo{};
    if (!top || ::fstat(top.get(), &topInfo) != 0 || ::fstat(volumes.get(), &parentInfo) != 0)
        return refuse("cannot open the volume at \"" + *volume + "\" (" + std::strerror(errno) + ")");
    if (topInfo.st_dev != *expected)
        return refuse("the volume at \"" + *volume + "\" is not on the device " + *device);
    if (parentInfo.st_dev == topInfo.st_dev)
        return refuse("\"" + *volume + "\" is not the top of a volume");

    const std::optional<std::string> text = posix::RegularFile::readAll(STDIN_FILENO, DriveRecord::MaxBytes);
    if (!text)
        return refuse("the record could not be read, or is larger than " +
                      std::to_string(DriveRecord::MaxBytes >> 20) + " MiB");
    if (text->compare(0, DriveRecord::FirstLine.size() + 1, std::string(DriveRecord::FirstLine) + "\n") != 0)
        return refuse("the input is not a BootDrive drive record");

    std::string error;
    const posix::FileDescriptor folder = disktools::BootDriveFolder::open(top.get(), error);
    if (!folder)
        return refuse(error);
    if (const int status = writeRecord(folder.get(), *text); status != 0)
        return status;
    Console::line("Wrote the drive's record to " + *volume + "/" + disktools::BootDriveFolder::Name + "/" +
                  DriveRecord::FileName);
    return 0;
}
