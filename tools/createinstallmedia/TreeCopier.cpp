#include "TreeCopier.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/sendfile.h>
#include <unistd.h>

namespace {

// Large pieces keep the number of system calls low; progress is still reported many times a second.
constexpr size_t pieceSize = 8 * 1024 * 1024;

class FileDescriptor
{
public:
    explicit FileDescriptor(int fd = -1) : m_fd(fd) {}
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    int get() const { return m_fd; }
    // Closes and reports the error close() may carry for buffered writes.
    int close()
    {
        const int result = ::close(m_fd);
        m_fd = -1;
        return result;
    }

private:
    int m_fd;
};

std::string describe(const std::string &what, const std::string &relative)
{
    return what + " " + (relative.empty() ? std::string(".") : relative) + ": " + std::strerror(errno);
}

std::string child(const std::string &relative, const char *name)
{
    return relative.empty() ? std::string(name) : relative + "/" + name;
}

// Entries of an open folder, without "." and "..".
bool listDirectory(int fd, std::vector<std::string> &names)
{
    const int copy = dup(fd);
    if (copy < 0)
        return false;
    DIR *dir = fdopendir(copy);
    if (!dir) {
        close(copy);
        return false;
    }
    errno = 0;
    while (const dirent *entry = readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.emplace_back(entry->d_name);
    }
    const int code = errno;
    closedir(dir);
    errno = code;
    return code == 0;
}

} // namespace

bool TreeCopier::walk(int directory, const std::string &relative, std::string &error)
{
    std::vector<std::string> names;
    if (!listDirectory(directory, names)) {
        error = describe("cannot read", relative);
        return false;
    }
    struct stat self
    {};
    if (fstat(directory, &self) != 0) {
        error = describe("cannot read", relative);
        return false;
    }
    m_space.add(self);
    for (const auto &name : names) {
        struct stat info
        {};
        const std::string path = child(relative, name.c_str());
        if (fstatat(directory, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
            error = describe("cannot read", path);
            return false;
        }
        if (S_ISDIR(info.st_mode)) {
            FileDescriptor sub(
                openat(directory, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (sub.get() < 0) {
                error = describe("cannot open", path);
                return false;
            }
            if (!walk(sub.get(), path, error))
                return false;
        } else {
            m_space.add(info);
        }
    }
    return true;
}

bool TreeCopier::plan(const std::string &source, std::string &error)
{
    m_space = posix::VolumeSpace();
    FileDescriptor root(open(source.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (root.get() < 0) {
        error = describe("cannot open", source);
        return false;
    }
    return walk(root.get(), "", error);
}

uint64_t TreeCopier::spaceNeeded(uint64_t blockSize) const
{
    return m_space.needed(blockSize);
}

bool TreeCopier::applyAttributes(int fd, const struct stat &info)
{
    // Owner first: changing it clears set-user-ID bits, which the mode then restores.
    if (fchown(fd, info.st_uid, info.st_gid) != 0 && errno != EPERM)
        return false;
    if (fchmod(fd, info.st_mode & 07777) != 0)
        return false;
    const timespec times[2] = {info.st_atim, info.st_mtim};
    return futimens(fd, times) == 0;
}

bool TreeCopier::copyData(int in, int out, uint64_t size, const std::string &relative, std::string &error)
{
    uint64_t done = 0;
    std::unique_ptr<char[]> buffer;
    while (done < size) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(pieceSize, size - done));
        ssize_t moved = -1;
        if (m_method == Method::CopyFileRange) {
            moved = copy_file_range(in, nullptr, out, nullptr, want, 0);
            // Between different file systems the kernel may refuse; sendfile still avoids copying to user
            // space.
            if (moved < 0 && done == 0 &&
                (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP ||
                 errno == EBADF)) {
                m_method = Method::SendFile;
                continue;
            }
        } else if (m_method == Method::SendFile) {
            moved = sendfile(out, in, nullptr, want);
            if (moved < 0 && done == 0 && (errno == EINVAL || errno == ENOSYS)) {
                m_method = Method::ReadWrite;
                continue;
            }
        } else {
            if (!buffer)
                buffer = std::make_unique<char[]>(pieceSize);
            moved = read(in, buffer.get(), want);
            for (ssize_t written = 0; moved > 0 && written < moved;) {
                const ssize_t n = write(out, buffer.get() + written, static_cast<size_t>(moved - written));
                if (n < 0 && errno == EINTR)
                    continue;
                if (n <= 0) {
                    moved = -1;
                    break;
                }
                written += n;
            }
        }
        if (moved < 0 && errno == EINTR)
            continue;
        if (moved < 0) {
            error = describe("cannot copy", relative);
            return false;
        }
        if (moved == 0) {
            errno = EIO;
            error = "cannot copy " + relative + ": the file became shorter while it was copied";
            return false;
        }
        done += static_cast<uint64_t>(moved);
        m_copied += static_cast<uint64_t>(moved);
        if (m_progress)
            m_progress(m_copied, m_space.fileBytes());
    }
    return true;
}

bool TreeCopier::copyFile(int from, int to, const char *name, const struct stat &info,
                          const std::string &relative, std::string &error)
{
    if (info.st_nlink > 1) {
        const auto key = std::make_pair(info.st_dev, info.st_ino);
        if (const auto known = m_linked.find(key); known != m_linked.end()) {
            if (linkat(m_destinationRoot, known->second.c_str(), to, name, 0) == 0)
                return true;
            // Not possible here (e.g. too many links): copy the data instead.
        } else {
            m_linked.emplace(key, relative);
        }
    }
    FileDescriptor in(openat(from, name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (in.get() < 0) {
        error = describe("cannot open", relative);
        return false;
    }
    FileDescriptor out(openat(to, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (out.get() < 0) {
        error = describe("cannot create", relative);
        return false;
    }
    posix_fadvise(in.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    if (!copyData(in.get(), out.get(), static_cast<uint64_t>(info.st_size), relative, error))
        return false;
    if (!applyAttributes(out.get(), info)) {
        error = describe("cannot set the attributes of", relative);
        return false;
    }
    if (out.close() != 0) {
        error = describe("cannot write", relative);
        return false;
    }
    return true;
}

bool TreeCopier::copyEntry(int from, int to, const char *name, const std::string &relative,
                           std::string &error)
{
    struct stat info
    {};
    if (fstatat(from, name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
        error = describe("cannot read", relative);
        return false;
    }
    if (S_ISREG(info.st_mode))
        return copyFile(from, to, name, info, relative, error);
    if (S_ISDIR(info.st_mode)) {
        // Owner-writable until its content is in; its own mode comes last.
        if (mkdirat(to, name, 0700) != 0) {
            error = describe("cannot create", relative);
            return false;
        }
        FileDescriptor source(openat(from, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        FileDescriptor target(openat(to, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (source.get() < 0 || target.get() < 0) {
            error = describe("cannot open", relative);
            return false;
        }
        if (!copyDirectory(source.get(), target.get(), relative, error))
            return false;
        if (!applyAttributes(target.get(), info)) {
            error = describe("cannot set the attributes of", relative);
            return false;
        }
        return true;
    }
    if (S_ISLNK(info.st_mode)) {
        std::string target(static_cast<size_t>(info.st_size) + 1, '\0');
        const ssize_t n = readlinkat(from, name, target.data(), target.size());
        if (n < 0 || static_cast<size_t>(n) >= target.size()) {
            if (n >= 0)
                errno = EIO;
            error = describe("cannot read the link", relative);
            return false;
        }
        target.resize(static_cast<size_t>(n));
        if (symlinkat(target.c_str(), to, name) != 0) {
            error = describe("cannot create the link", relative);
            return false;
        }
    } else if (mknodat(to, name, info.st_mode, info.st_rdev) != 0) {
        error = describe("cannot create", relative);
        return false;
    }
    const timespec times[2] = {info.st_atim, info.st_mtim};
    if ((fchownat(to, name, info.st_uid, info.st_gid, AT_SYMLINK_NOFOLLOW) != 0 && errno != EPERM) ||
        (!S_ISLNK(info.st_mode) && fchmodat(to, name, info.st_mode & 07777, 0) != 0) ||
        utimensat(to, name, times, AT_SYMLINK_NOFOLLOW) != 0) {
        error = describe("cannot set the attributes of", relative);
        return false;
    }
    return true;
}

bool TreeCopier::copyDirectory(int from, int to, const std::string &relative, std::string &error)
{
    std::vector<std::string> names;
    if (!listDirectory(from, names)) {
        error = describe("cannot read", relative);
        return false;
    }
    for (const auto &name : names)
        if (!copyEntry(from, to, name.c_str(), child(relative, name.c_str()), error))
            return false;
    return true;
}

bool TreeCopier::copy(const std::string &source, const std::string &destination, const Progress &progress,
                      std::string &error)
{
    m_progress = progress;
    m_copied = 0;
    m_linked.clear();
    struct stat info
    {};
    FileDescriptor from(open(source.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (from.get() < 0 || fstat(from.get(), &info) != 0) {
        error = describe("cannot open", source);
        return false;
    }
    if (mkdir(destination.c_str(), 0700) != 0) {
        error = describe("cannot create", destination);
        return false;
    }
    FileDescriptor to(open(destination.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (to.get() < 0) {
        error = describe("cannot open", destination);
        return false;
    }
    m_destinationRoot = to.get();
    const bool copied = copyDirectory(from.get(), to.get(), "", error);
    m_destinationRoot = -1;
    if (!copied)
        return false;
    if (!applyAttributes(to.get(), info)) {
        error = describe("cannot set the attributes of", destination);
        return false;
    }
    return true;
}

void TreeCopier::removeTree(const std::string &path)
{
    struct stat top
    {};
    if (lstat(path.c_str(), &top) != 0)
        return;
    if (!S_ISDIR(top.st_mode)) {
        unlink(path.c_str());
        return;
    }
    FileDescriptor dir(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    std::vector<std::string> names;
    if (dir.get() >= 0 && listDirectory(dir.get(), names)) {
        for (const auto &name : names) {
            struct stat info
            {};
            if (fstatat(dir.get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(info.st_mode) &&
                info.st_dev == top.st_dev)
                removeTree(path + "/" + name);
            else
                unlinkat(dir.get(), name.c_str(), 0);
        }
    }
    rmdir(path.c_str());
}
