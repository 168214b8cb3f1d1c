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

bool BootDriveFolder::keepName(int top, const std::string &name, std::string &error)
{
    const bool made = ::mkdirat(top, Name, 0755) == 0 || errno == EEXIST;
    const posix::FileDescriptor folder(
        made ? ::openat(top, Name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC) : -1);
    posix::FileDescriptor file(
        folder ? ::openat(folder.get(), nameFile, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644)
               : -1);
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
