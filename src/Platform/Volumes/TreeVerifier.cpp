#include "Platform/Volumes/TreeVerifier.h"

#include "Platform/Posix/Directory.h"
#include "Platform/Posix/FileDescriptor.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>
#include <xxhash.h>

namespace platform {

namespace {

using posix::FileDescriptor;
using Result = TreeVerifier::Result;

// Large reads keep both drives streaming; the hash costs far less than the read.
constexpr size_t kPiece = 1024 * 1024;

struct File
{
    std::string path; // relative
    uint64_t size = 0;
};

Result failure(Result::Outcome outcome, const std::string &path, const std::string &reason)
{
    Result result;
    result.outcome = outcome;
    result.path = path.empty() ? std::string(".") : path;
    result.reason = reason;
    return result;
}

std::string linkTarget(int folder, const char *name)
{
    std::string target(4096, '\0');
    const ssize_t n = ::readlinkat(folder, name, target.data(), target.size());
    target.resize(n < 0 ? 0 : static_cast<size_t>(n));
    return target;
}

// Walks the original and checks every item's counterpart in the copy; collects the files to hash.
class Walk
{
public:
    explicit Walk(const std::atomic<bool> &cancel) : m_cancel(cancel) {}

    std::optional<Result> folder(int original, int copy, const std::string &relative)
    {
        std::vector<std::string> names;
        if (!posix::Directory::entries(original, names))
            return failure(Result::Outcome::Unreadable, relative, std::strerror(errno));
        for (const std::string &name : names) {
            if (m_cancel.load())
                return failure(Result::Outcome::Cancelled, relative, "cancelled");
            const std::string path = posix::Directory::child(relative, name);
            struct stat from
            {
            }, to{};
            if (::fstatat(original, name.c_str(), &from, AT_SYMLINK_NOFOLLOW) != 0)
                return failure(Result::Outcome::Unreadable, path, std::strerror(errno));
            if (::fstatat(copy, name.c_str(), &to, AT_SYMLINK_NOFOLLOW) != 0)
                return failure(Result::Outcome::Different, path, "missing from the drive");
            if ((from.st_mode & S_IFMT) != (to.st_mode & S_IFMT))
                return failure(Result::Outcome::Different, path, "of another kind on the drive");
            if (S_ISLNK(from.st_mode)) {
                if (linkTarget(original, name.c_str()) != linkTarget(copy, name.c_str()))
                    return failure(Result::Outcome::Different, path, "links elsewhere on the drive");
                continue;
            }
            if ((from.st_mode & 07777) != (to.st_mode & 07777))
                return failure(Result::Outcome::Different, path, "has other permissions on the drive");
            if (S_ISREG(from.st_mode)) {
                if (from.st_size != to.st_size)
                    return failure(Result::Outcome::Different, path, "has another size on the drive");
                files.push_back({path, static_cast<uint64_t>(from.st_size)});
                total += static_cast<uint64_t>(from.st_size);
            } else if (S_ISDIR(from.st_mode)) {
                const FileDescriptor subOriginal = posix::Directory::openFolder(original, name.c_str());
                if (!subOriginal)
                    return failure(Result::Outcome::Unreadable, path, std::strerror(errno));
                const FileDescriptor subCopy = posix::Directory::openFolder(copy, name.c_str());
                if (!subCopy)
                    return failure(Result::Outcome::Unreadable, path, std::strerror(errno));
                if (auto stop = folder(subOriginal.get(), subCopy.get(), path))
                    return stop;
            }
            // Devices, FIFOs and sockets: their kind and mode are all there is to compare.
        }
        return std::nullopt;
    }

    std::vector<File> files;
    uint64_t total = 0;

private:
    const std::atomic<bool> &m_cancel;
};

// Hashes one side's files in order on a thread of its own; the caller compares as both sides advance.
class Side
{
public:
    Side(int root, const std::vector<File> &files, bool fromDevice)
        : m_root(root), m_files(files), m_fromDevice(fromDevice), m_hashes(files.size())
    {}

    void run(const std::function<bool()> &stopped, const std::function<void(uint64_t)> &read)
    {
        std::unique_ptr<char[]> buffer(new char[kPiece]);
        XXH3_state_t *state = XXH3_createState();
        for (size_t i = 0; i < m_files.size() && !stopped(); ++i) {
            FileDescriptor file(::openat(m_root, m_files[i].path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
            struct stat info
            {};
            if (!file || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
                publishError(i, file ? "is no longer a regular file" : std::strerror(errno));
                break;
            }
            if (m_fromDevice) {
                // Written-back pages leave the cache, so what follows is read from the drive itself.
                ::posix_fadvise(file.get(), 0, 0, POSIX_FADV_DONTNEED);
            }
            ::posix_fadvise(file.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
            XXH3_128bits_reset(state);
            uint64_t length = 0;
            bool ok = true;
            while (true) {
                if (stopped()) {
                    ok = false;
                    break;
                }
                const ssize_t n = ::read(file.get(), buffer.get(), kPiece);
                if (n < 0 && errno == EINTR)
                    continue;
                if (n < 0) {
                    publishError(i, std::strerror(errno));
                    ok = false;
                    break;
                }
                if (n == 0)
                    break;
                XXH3_128bits_update(state, buffer.get(), static_cast<size_t>(n));
                length += static_cast<uint64_t>(n);
                if (read)
                    read(static_cast<uint64_t>(n));
            }
            if (!ok)
                break;
            // A length other than the size seen in the walk is a difference of its own.
            XXH128_hash_t hash = XXH3_128bits_digest(state);
            if (length != m_files[i].size)
                hash.low64 ^= 1;
            publish(i, hash);
        }
        XXH3_freeState(state);
        finish();
    }

    // Waits until file i is hashed (true) or this side has stopped before it (false).
    bool waitFor(size_t i)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [&] { return m_done > i || m_finished; });
        return m_done > i;
    }
    const XXH128_hash_t &hash(size_t i) const { return m_hashes[i]; }
    // The file this side could not read, if any.
    std::optional<std::pair<size_t, std::string>> error() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_error;
    }

private:
    void publish(size_t i, const XXH128_hash_t &hash)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_hashes[i] = hash;
        m_done = i + 1;
        m_changed.notify_all();
    }
    void publishError(size_t i, const std::string &reason)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_error = std::make_pair(i, reason);
    }
    void finish()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_finished = true;
        m_changed.notify_all();
    }

    int m_root;
    const std::vector<File> &m_files;
    bool m_fromDevice;
    std::vector<XXH128_hash_t> m_hashes;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    size_t m_done = 0;
    bool m_finished = false;
    std::optional<std::pair<size_t, std::string>> m_error;
};

} // namespace

TreeVerifier::Result TreeVerifier::compare(const std::string &original, const std::string &copy,
                                           dev_t copyDevice, const std::atomic<bool> &cancel,
                                           const Progress &progress)
{
    FileDescriptor originalRoot(::open(original.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!originalRoot)
        return failure(Result::Outcome::Unreadable, "", original + ": " + std::strerror(errno));
    FileDescriptor copyRoot(::open(copy.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!copyRoot)
        return failure(Result::Outcome::Different, "", copy + " is missing from the drive");
    struct stat from
    {
    }, to{};
    if (::fstat(originalRoot.get(), &from) != 0 || ::fstat(copyRoot.get(), &to) != 0)
        return failure(Result::Outcome::Unreadable, "", std::strerror(errno));
    if (copyDevice != 0 && to.st_dev != copyDevice)
        return failure(Result::Outcome::Different, "", copy + " is not on the drive");
    if ((from.st_mode & 07777) != (to.st_mode & 07777))
        return failure(Result::Outcome::Different, "", "has other permissions on the drive");

    Walk walk(cancel);
    if (auto stop = walk.folder(originalRoot.get(), copyRoot.get(), ""))
        return *stop;
    // Whatever the drive still holds in the cache is written out first, so dropping it loses nothing.
    ::syncfs(copyRoot.get());

    std::atomic<bool> stop{false};
    std::atomic<uint64_t> done{0};
    auto counted = [&](uint64_t n) {
        const uint64_t now = done.fetch_add(n) + n;
        if (progress)
            progress(now / 2, walk.total);
    };
    Side originalSide(originalRoot.get(), walk.files, false);
    Side copySide(copyRoot.get(), walk.files, true);
    auto stopped = [&] { return stop.load() || cancel.load(); };
    std::thread originalReader([&] { originalSide.run(stopped, counted); });
    std::thread copyReader([&] { copySide.run(stopped, counted); });

    Result result;
    for (size_t i = 0; i < walk.files.size(); ++i) {
        const bool haveOriginal = originalSide.waitFor(i);
        const bool haveCopy = copySide.waitFor(i);
        if (!haveOriginal || !haveCopy) {
            if (cancel.load()) {
                result = failure(Result::Outcome::Cancelled, walk.files[i].path, "cancelled");
            } else {
                const auto error = !haveOriginal ? originalSide.error() : copySide.error();
                result = failure(haveOriginal ? Result::Outcome::Different : Result::Outcome::Unreadable,
                                 walk.files[error ? error->first : i].path,
                                 haveOriginal ? "cannot be read back from the drive"
                                              : (error ? error->second : ""));
            }
            break;
        }
        if (!XXH128_isEqual(originalSide.hash(i), copySide.hash(i))) {
            result =
                failure(Result::Outcome::Different, walk.files[i].path, "has other content on the drive");
            break;
        }
        if (cancel.load()) {
            result = failure(Result::Outcome::Cancelled, walk.files[i].path, "cancelled");
            break;
        }
    }
    stop = true;
    originalReader.join();
    copyReader.join();
    result.bytes = walk.total;
    return result;
}

} // namespace platform
