#include "disklib/BootDriveFolder.h"

#include "Platform/Posix/FileDescriptor.h"
#include "Platform/Posix/RegularFile.h"
#include "disklib/VolumePath.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace disktools {

namespace {

constexpr const char *nameFile = "name";

} // namespace

posix::FileDescriptor BootDriveFolder::open(int top, std::string &error)
{
    const bool made = ::mkdirat(top, Name, 0755) == 0;
    if (!made && errno != EEXIST) {
        error = std::string("cannot make the folder ") + Name + " (" + std::strerror(errno) + ")";
        return {};
    }
    posix::FileDescriptor folder(::openat(top, Name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folder) {
        error = errno == ELOOP || errno == ENOTDIR
                    ? std::string("the volume's ") + Name + " is not a folder (a link or a file stands there)"
                    : std::string("cannot open the folder ") + Name + " (" + std::strerror(errno) + ")";
        return {};
    }
    struct stat volume
    {
    }, own{};
    if (::fstat(top, &volume) != 0 || ::fstat(folder.get(), &own) != 0 || own.st_dev != volume.st_dev) {
        error = std::string("the volume's ") + Name + " lies on another file system";
        return {};
    }
    // The creator's umask has no say in who may read what the drive keeps of itself.
    if (made)
        ::fchmod(folder.get(), 0755);
    return folder;
}

bool BootDriveFolder::keepName(int top, const std::string &name, std::string &error)
{
    const posix::FileDescriptor folder = open(top, error);
    if (!folder) {
        error = "could not keep the volume's full name on it: " + error;
        return false;
    }
    posix::FileDescriptor file(
        ::openat(folder.get(), nameFile, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (file && ::write(file.get(), name.data(), name.size()) == static_cast<ssize_t>(name.size()) &&
        ::close(file.release()) == 0)
        return true;
    error = "could not keep the volume's full name on it (" + std::string(std::strerror(errno)) + ")";
    return false;
}

std::string BootDriveFolder::keptName(int top, const std::string &label)
{
    const posix::FileDescriptor folder(::openat(top, Name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    const posix::FileDescriptor file =
        folder ? posix::RegularFile::openIn(folder.get(), nameFile) : posix::FileDescriptor();
    const auto kept = file ? posix::RegularFile::readAll(file.get(), NAME_MAX) : std::nullopt;
    const std::string name = kept ? VolumePath::nameFromLabel(*kept, "") : "";
    const std::string prefix = VolumePath::nameFromLabel(label, "");
    return !prefix.empty() && name.compare(0, prefix.size(), prefix) == 0 ? name : "";
}

} // namespace disktools
