#include "TreeCopier.h"

#include "Platform/Posix/Directory.h"
#include "Platform/Posix/FileDescriptor.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace {

// One piece fills the pipe once. Large enough that the system calls per byte cost little, small enough to
// stay in the processor's cache where data must pass through this process, and that a drive slower than the
// copy holds it up (and a request to stop waits) no longer than that drive takes to write one piece.
constexpr size_t pieceSize = 1024 * 1024;

// How a kernel, a file system or a system-call policy (a container's) declines a way of copying: the next
// way may still work. The destination is a file just made, so EPERM cannot mean it is immutable.
bool refused(int error)
{
    return error == EXDEV || error == EINVAL || error == ENOSYS || error == EOPNOTSUPP || error == EBADF ||
           error == EPERM;
}

std::string describe(const std::string &what, const std::string &relative)
{
    return what + " " + (relative.empty() ? std::string(".") : relative) + ": " + std::strerror(errno);
}

std::string changedDuringCopy(const std::string &relative)
{
    return "the installer changed during the copy: " + relative;
}

// Size, modification and change time: a write, a truncation or a restored modification time all show.
bool sameContent(const struct stat &before, const struct stat &now)
{
    return before.st_size == now.st_size && before.st_mtim.tv_sec == now.st_mtim.tv_sec &&
           before.st_mtim.tv_nsec == now.st_mtim.tv_nsec && before.st_ctim.tv_sec == now.st_ctim.tv_sec &&
           before.st_ctim.tv_nsec == now.st_ctim.tv_nsec;
}

} // namespace

bool TreeCopier::plan(const std::string &source, std::string &error)
{
    m_space = posix::VolumeSpace();
    posix::FileDescriptor root(open(source.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (root.get() < 0) {
        error = describe("cannot open", source);
        return false;
    }
    struct stat top
    {};
    if (fstat(root.get(), &top) != 0) {
        error = describe("cannot read", source);
        return false;
    }
    m_space.add(top);
    std::string failed;
    if (!posix::Directory::walk(
            root.get(),
            [this](const posix::Directory::Entry &entry) {
                m_space.add(entry.info);
                return true;
            },
            posix::Directory::OnError::Stop, &failed)) {
        error = describe("cannot read", failed);
        return false;
    }
    return true;
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

bool TreeCopier::report(std::string &error)
{
    return !m_progress || m_progress(m_copied, m_space.fileBytes(), error);
}

ssize_t TreeCopier::movePiece(int in, int out, uint64_t offset, size_t length)
{
    if (m_method == Method::CopyFileRange) {
        auto from = static_cast<off64_t>(offset), to = from;
        const ssize_t moved = copy_file_range(in, &from, out, &to, length, 0);
        if (moved >= 0 || !refused(errno))
            return moved;
        m_method = Method::Splice;
    }
    if (m_method == Method::Splice) {
        const ssize_t moved = splicePiece(in, out, offset, length);
        if (moved >= 0 || !refused(errno))
            return moved;
        m_method = Method::ReadWrite;
    }
    return readWritePiece(in, out, offset, length);
}

ssize_t TreeCopier::splicePiece(int in, int out, uint64_t offset, size_t length)
{
    if (!m_pipe.read) {
        if (!m_pipe.open())
            return -1;
        // Where the system allows a smaller pipe only, the pieces are smaller.
        fcntl(m_pipe.write.get(), F_SETPIPE_SZ, static_cast<int>(pieceSize));
    }
    auto from = static_cast<off64_t>(offset), to = from;
    const ssize_t filled = splice(in, &from, m_pipe.write.get(), nullptr, length, SPLICE_F_MOVE);
    if (filled <= 0)
        return filled;
    for (ssize_t emptied = 0; emptied < filled;) {
        const ssize_t n = splice(m_pipe.read.get(), nullptr, out, &to, static_cast<size_t>(filled - emptied),
                                 SPLICE_F_MOVE);
        // A request to stop may interrupt; the pipe still empties (one piece at most) and the caller decides.
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            // What the pipe still holds must not end up in the next piece: the next one reads it again.
            const int failure = n < 0 ? errno : EIO;
            m_pipe.read.reset();
            m_pipe.write.reset();
            errno = failure;
            return emptied > 0 ? emptied : -1;
        }
        emptied += n;
    }
    return filled;
}

ssize_t TreeCopier::readWritePiece(int in, int out, uint64_t offset, size_t length)
{
    if (!m_buffer)
        m_buffer = std::make_unique<char[]>(pieceSize);
    const auto at = static_cast<off_t>(offset);
    const ssize_t got = pread(in, m_buffer.get(), std::min(length, pieceSize), at);
    for (ssize_t written = 0; got > 0 && written < got;) {
        const ssize_t n =
            pwrite(out, m_buffer.get() + written, static_cast<size_t>(got - written), at + written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return written > 0 ? written : -1;
        }
        written += n;
    }
    return got;
}

bool TreeCopier::copyData(int in, int out, const struct stat &before, const std::string &relative,
                          std::string &error)
{
    const uint64_t size = static_cast<uint64_t>(before.st_size);
    uint64_t done = 0;
    auto unchanged = [&] {
        struct stat now
        {};
        if (fstat(in, &now) == 0 && sameContent(before, now))
            return true;
        error = changedDuringCopy(relative);
        return false;
    };
    while (done < size) {
        const ssize_t moved =
            movePiece(in, out, done, static_cast<size_t>(std::min<uint64_t>(pieceSize, size - done)));
        // A signal (a request to stop) interrupts a piece; the caller decides whether to go on.
        if (moved < 0 && errno == EINTR) {
            if (!report(error))
                return false;
            continue;
        }
        if (moved < 0) {
            error = describe("cannot copy", relative);
            return false;
        }
        if (moved == 0) {
            error = changedDuringCopy(relative);
            return false;
        }
        // The drive starts on the piece now, not when the cache fills up or the final flush comes: writing
        // overlaps the copy, and a drive slower than the copy holds it up instead of leaving all its data
        // to the flush. Only a hint; whatever the kernel does not start now, the flush writes.
        sync_file_range(out, static_cast<off64_t>(done), moved, SYNC_FILE_RANGE_WRITE);
        done += static_cast<uint64_t>(moved);
        m_copied += static_cast<uint64_t>(moved);
        if (!unchanged() || !report(error))
            return false;
    }
    return unchanged();
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
    // O_NONBLOCK: should a FIFO have taken the file's place meanwhile, opening it must not wait for a writer.
    posix::FileDescriptor in(openat(from, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat before
    {};
    if (!in || fstat(in.get(), &before) != 0) {
        error = describe("cannot open", relative);
        return false;
    }
    if (!S_ISREG(before.st_mode) || before.st_dev != info.st_dev || before.st_ino != info.st_ino) {
        error = changedDuringCopy(relative);
        return false;
    }
    // Reads of a regular file do not wait anyway, but a splice takes the flag over and would answer EAGAIN
    // rather than wait. It is the only status flag the file was opened with.
    fcntl(in.get(), F_SETFL, 0);
    posix::FileDescriptor out(openat(to, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!out) {
        error = describe("cannot create", relative);
        return false;
    }
    posix_fadvise(in.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    if (!copyData(in.get(), out.get(), before, relative, error))
        return false;
    if (!applyAttributes(out.get(), before)) {
        error = describe("cannot set the attributes of", relative);
        return false;
    }
    if (::close(out.release()) != 0) {
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
        const posix::FileDescriptor source = posix::Directory::openFolder(from, name);
        const posix::FileDescriptor target = posix::Directory::openFolder(to, name);
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
    if (!posix::Directory::entries(from, names)) {
        error = describe("cannot read", relative);
        return false;
    }
    for (const auto &name : names)
        if (!copyEntry(from, to, name.c_str(), posix::Directory::child(relative, name), error) ||
            !report(error))
            return false;
    return true;
}

bool TreeCopier::copy(const std::string &source, int destinationFolder, const std::string &name,
                      const Progress &progress, std::string &error)
{
    m_progress = progress;
    m_copied = 0;
    m_linked.clear();
    struct stat info
    {};
    posix::FileDescriptor from(open(source.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!from || fstat(from.get(), &info) != 0) {
        error = describe("cannot open", source);
        return false;
    }
    if (mkdirat(destinationFolder, name.c_str(), 0700) != 0) {
        error = describe("cannot create", name);
        return false;
    }
    const posix::FileDescriptor to = posix::Directory::openFolder(destinationFolder, name.c_str());
    if (!to) {
        error = describe("cannot open", name);
        return false;
    }
    m_destinationRoot = to.get();
    const bool copied = copyDirectory(from.get(), to.get(), "", error);
    m_destinationRoot = -1;
    if (!copied)
        return false;
    if (!applyAttributes(to.get(), info)) {
        error = describe("cannot set the attributes of", name);
        return false;
    }
    return true;
}

void TreeCopier::removeTree(int folder, const std::string &name)
{
    struct stat top
    {};
    if (fstatat(folder, name.c_str(), &top, AT_SYMLINK_NOFOLLOW) != 0)
        return;
    if (!S_ISDIR(top.st_mode)) {
        unlinkat(folder, name.c_str(), 0);
        return;
    }
    const posix::FileDescriptor dir = posix::Directory::openFolder(folder, name.c_str());
    std::vector<std::string> names;
    if (dir && posix::Directory::entries(dir.get(), names)) {
        for (const auto &entry : names) {
            struct stat info
            {};
            if (fstatat(dir.get(), entry.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(info.st_mode) &&
                info.st_dev == top.st_dev)
                removeTree(dir.get(), entry);
            else
                unlinkat(dir.get(), entry.c_str(), 0);
        }
    }
    unlinkat(folder, name.c_str(), AT_REMOVEDIR);
}
