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
#include <set>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <unordered_map>
#include <vector>
#include <xxhash.h>

namespace platform {

namespace {

using posix::FileDescriptor;
using Result = TreeVerifier::Result;
using Item = DriveRecord::Item;

// Large reads keep both drives streaming; the hash costs far less than the read.
constexpr size_t kPiece = 1024 * 1024;
// The kernel's own read-ahead keeps little in flight, so the drive would wait while a piece is hashed: the
// pieces after it are asked for first. Bounded, so a stop is never held up by a file's whole length.
constexpr off_t kAhead = 8 * static_cast<off_t>(kPiece);

struct File
{
    std::string path; // relative
    uint64_t size = 0;
    size_t item = 0; // its place among the items, when they are kept
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

// Reads the open file to its end into the hash; false when stopped, or with `error` when a read fails.
bool hashFile(int fd, char *buffer, XXH3_state_t *state, const std::function<bool()> &stopped,
              const std::function<void(uint64_t)> &read, XXH128_hash_t &hash, uint64_t &length,
              std::string &error)
{
    XXH3_128bits_reset(state);
    length = 0;
    while (!stopped()) {
        ::posix_fadvise(fd, static_cast<off_t>(length + kPiece), kAhead, POSIX_FADV_WILLNEED);
        const ssize_t n = ::read(fd, buffer, kPiece);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = std::strerror(errno);
            return false;
        }
        if (n == 0) {
            hash = XXH3_128bits_digest(state);
            return true;
        }
        XXH3_128bits_update(state, buffer, static_cast<size_t>(n));
        length += static_cast<uint64_t>(n);
        if (read)
            read(static_cast<uint64_t>(n));
    }
    return false;
}

std::string hexOf(const XXH128_hash_t &hash)
{
    return DriveRecord::hashText(hash.high64, hash.low64);
}

// Walks the original and checks every item's counterpart in the copy; collects the files to hash.
class Walk
{
public:
    Walk(const std::atomic<bool> &cancel, std::vector<Item> *items) : items(items), m_cancel(cancel) {}

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
                const std::string target = linkTarget(original, name.c_str());
                if (target != linkTarget(copy, name.c_str()))
                    return failure(Result::Outcome::Different, path, "links elsewhere on the drive");
                keep(Item::Kind::Link, 0, path, target);
                continue;
            }
            if ((from.st_mode & 07777) != (to.st_mode & 07777))
                return failure(Result::Outcome::Different, path, "has other permissions on the drive");
            const unsigned mode = from.st_mode & 07777;
            if (S_ISREG(from.st_mode)) {
                if (from.st_size != to.st_size)
                    return failure(Result::Outcome::Different, path, "has another size on the drive");
                files.push_back({path, static_cast<uint64_t>(from.st_size), items ? items->size() : 0});
                keep(Item::Kind::File, mode, path, {}, static_cast<uint64_t>(from.st_size));
                total += static_cast<uint64_t>(from.st_size);
            } else if (S_ISDIR(from.st_mode)) {
                keep(Item::Kind::Folder, mode, path);
                const FileDescriptor subOriginal = posix::Directory::openFolder(original, name.c_str());
                if (!subOriginal)
                    return failure(Result::Outcome::Unreadable, path, std::strerror(errno));
                const FileDescriptor subCopy = posix::Directory::openFolder(copy, name.c_str());
                if (!subCopy)
                    return failure(Result::Outcome::Unreadable, path, std::strerror(errno));
                if (auto stop = folder(subOriginal.get(), subCopy.get(), path))
                    return stop;
            } else {
                // Devices, FIFOs and sockets: their kind and mode are all there is to compare.
                keep(Item::Kind::Other, mode, path);
            }
        }
        return std::nullopt;
    }

    std::vector<File> files;
    uint64_t total = 0;
    std::vector<Item> *items;

private:
    void keep(Item::Kind kind, unsigned mode, const std::string &path, const std::string &target = {},
              uint64_t size = 0)
    {
        if (items)
            items->push_back(Item{kind, mode, size, {}, path, target});
    }

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
            XXH128_hash_t hash{};
            uint64_t length = 0;
            std::string error;
            if (!hashFile(file.get(), buffer.get(), state, stopped, read, hash, length, error)) {
                if (!error.empty())
                    publishError(i, error);
                break;
            }
            // A length other than the size seen in the walk is a difference of its own.
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
                                           const Progress &progress, std::vector<DriveRecord::Item> *items)
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

    std::vector<Item> kept;
    Walk walk(cancel, items ? &kept : nullptr);
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
    if (items && result.outcome == Result::Outcome::Same) {
        for (size_t i = 0; i < walk.files.size(); ++i)
            kept[walk.files[i].item].hash = hexOf(copySide.hash(i));
        *items = std::move(kept);
    }
    return result;
}

namespace {

// Reads a drive against its record: the recorded folders are walked on the drive, each item looked up in
// its folder's descriptor, each file hashed as it is reached.
class RecordCheck
{
public:
    using Check = TreeVerifier::Check;

    RecordCheck(const DriveRecord &record, const std::atomic<bool> &cancel,
                const TreeVerifier::Progress &progress)
        : m_record(record), m_cancel(cancel), m_progress(progress), m_buffer(new char[kPiece]),
          m_state(XXH3_createState())
    {
        for (size_t i = 0; i < record.items.size(); ++i) {
            const std::string &path = record.items[i].path;
            const size_t slash = path.rfind('/');
            m_children[slash == std::string::npos ? std::string() : path.substr(0, slash)].push_back(i);
            if (record.items[i].kind == Item::Kind::File)
                m_total += record.items[i].size;
        }
    }
    ~RecordCheck() { XXH3_freeState(m_state); }
    RecordCheck(const RecordCheck &) = delete;
    RecordCheck &operator=(const RecordCheck &) = delete;

    // False when the check ended early: refused or cancelled, as `result` says.
    bool folder(int fd, const std::string &path)
    {
        const auto recorded = m_children.find(path);
        std::vector<std::string> names;
        if (!path.empty() && !posix::Directory::entries(fd, names))
            return refuse(path, std::strerror(errno));
        std::set<std::string> expected;
        if (recorded != m_children.end())
            for (const size_t i : recorded->second)
                expected.insert(m_record.items[i].path.substr(path.empty() ? 0 : path.size() + 1));
        // At the drive's top only what the record names is looked at; below, everything is accounted for.
        for (const std::string &name : names)
            if (!expected.count(name))
                result.added.push_back(posix::Directory::child(path, name));
        if (recorded == m_children.end())
            return true;
        for (const size_t i : recorded->second) {
            const Item &item = m_record.items[i];
            if (!this->item(fd, item, item.path.substr(path.empty() ? 0 : path.size() + 1)))
                return false;
        }
        return true;
    }

    Check result;

private:
    bool item(int folder, const Item &item, const std::string &name)
    {
        if (m_cancel.load())
            return cancelled(item.path);
        struct stat info
        {};
        if (::fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT)
                return refuse(item.path, std::strerror(errno));
            missing(item);
            return true;
        }
        const Item::Kind kind = S_ISDIR(info.st_mode)   ? Item::Kind::Folder
                                : S_ISREG(info.st_mode) ? Item::Kind::File
                                : S_ISLNK(info.st_mode) ? Item::Kind::Link
                                                        : Item::Kind::Other;
        if (kind != item.kind) {
            differs(item.path, "is of another kind");
            // What the record holds below a folder that is gone is gone too.
            if (item.kind == Item::Kind::Folder)
                missingBelow(item.path);
            return true;
        }
        if (kind == Item::Kind::Link) {
            if (linkTarget(folder, name.c_str()) != item.target)
                differs(item.path, "links elsewhere");
            return true;
        }
        if ((info.st_mode & 07777) != item.mode)
            differs(item.path, "has other permissions");
        if (kind == Item::Kind::Folder) {
            const FileDescriptor sub = posix::Directory::openFolder(folder, name.c_str());
            if (!sub)
                return refuse(item.path, std::strerror(errno));
            return this->folder(sub.get(), item.path);
        }
        if (kind != Item::Kind::File)
            return true;
        if (static_cast<uint64_t>(info.st_size) != item.size) {
            differs(item.path, "has another size");
            return true;
        }
        return file(folder, item, name);
    }

    bool file(int folder, const Item &item, const std::string &name)
    {
        // Reading must not even change the access times where the file system would keep them.
        FileDescriptor fd(::openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NOATIME | O_CLOEXEC));
        if (!fd && errno == EPERM)
            fd = FileDescriptor(::openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
        struct stat info
        {};
        if (!fd || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode))
            return refuse(item.path, fd ? "is no longer a regular file" : std::strerror(errno));
        ::posix_fadvise(fd.get(), 0, 0, POSIX_FADV_DONTNEED);
        ::posix_fadvise(fd.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
        XXH128_hash_t hash{};
        uint64_t length = 0;
        std::string error;
        const auto stopped = [this] { return m_cancel.load(); };
        const auto read = [this](uint64_t n) {
            result.bytes += n;
            if (m_progress)
                m_progress(result.bytes, m_total);
        };
        if (!hashFile(fd.get(), m_buffer.get(), m_state, stopped, read, hash, length, error))
            return error.empty() ? cancelled(item.path) : refuse(item.path, error);
        if (length != item.size || hexOf(hash) != item.hash)
            differs(item.path, "has other content");
        return true;
    }

    void differs(const std::string &path, const char *reason)
    {
        result.outcome = Check::Outcome::Damaged;
        result.changed.push_back({path, reason});
    }
    void missing(const Item &item)
    {
        differs(item.path, "is missing");
        if (item.kind == Item::Kind::Folder)
            missingBelow(item.path);
    }
    void missingBelow(const std::string &path)
    {
        const auto children = m_children.find(path);
        if (children != m_children.end())
            for (const size_t i : children->second)
                missing(m_record.items[i]);
    }
    bool refuse(const std::string &path, const std::string &reason)
    {
        result.outcome = Check::Outcome::Refused;
        result.path = path.empty() ? "." : path;
        result.reason = reason;
        return false;
    }
    bool cancelled(const std::string &path)
    {
        result.outcome = Check::Outcome::Cancelled;
        result.path = path;
        result.reason = "cancelled";
        return false;
    }

    const DriveRecord &m_record;
    const std::atomic<bool> &m_cancel;
    const TreeVerifier::Progress &m_progress;
    std::unique_ptr<char[]> m_buffer;
    XXH3_state_t *m_state;
    std::unordered_map<std::string, std::vector<size_t>> m_children; // by the folder's path; "" the top
    uint64_t m_total = 0;
};

} // namespace

TreeVerifier::Check TreeVerifier::check(const std::string &volume, const DriveRecord &record, dev_t device,
                                        const std::atomic<bool> &cancel, const Progress &progress)
{
    RecordCheck check(record, cancel, progress);
    const FileDescriptor top(::open(volume.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat info
    {};
    if (!top || ::fstat(top.get(), &info) != 0) {
        check.result.outcome = Check::Outcome::Refused;
        check.result.path = volume;
        check.result.reason = std::strerror(errno);
        return check.result;
    }
    if (device != 0 && info.st_dev != device) {
        check.result.outcome = Check::Outcome::Refused;
        check.result.path = volume;
        check.result.reason = "is not on the drive";
        return check.result;
    }
    check.folder(top.get(), "");
    return check.result;
}

} // namespace platform
