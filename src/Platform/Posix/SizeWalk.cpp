#include "Platform/Posix/SizeWalk.h"

#include "Platform/Posix/FileDescriptor.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace posix {

namespace {

// One raw listing batch: a folder of a thousand entries takes one read.
constexpr size_t batchSize = 64 * 1024;

// Folders one thread hands to the other. While two threads walk, one folder is kept ready here, so a thread
// that runs out of work takes it at once instead of waiting for the other to find a subfolder; keeping no
// more than that leaves the rest of the tree to depth-first order and its few open descriptors.
class WorkQueue
{
public:
    // Read without the lock on every subfolder found: a stale answer only costs one hand-over.
    bool wanted() const
    {
        return m_queued.load(std::memory_order_relaxed) < m_room.load(std::memory_order_relaxed);
    }

    // Takes the folder over when there is room for it.
    bool offer(FileDescriptor &folder)
    {
        const std::lock_guard lock(m_mutex);
        if (m_finished || m_queue.size() >= static_cast<size_t>(m_room.load(std::memory_order_relaxed)))
            return false;
        m_queue.push_back(std::move(folder));
        m_queued.store(static_cast<int>(m_queue.size()), std::memory_order_relaxed);
        m_ready.notify_one();
        return true;
    }

    // The next folder; none once every thread waits and nothing is queued, since then no folder is open
    // anywhere that could still yield one.
    FileDescriptor take()
    {
        std::unique_lock lock(m_mutex);
        if (++m_waiting == m_threads && m_queue.empty()) {
            m_finished = true;
            m_ready.notify_all();
        }
        m_ready.wait(lock, [this] { return m_finished || !m_queue.empty(); });
        if (m_queue.empty())
            return {};
        FileDescriptor next = std::move(m_queue.back());
        m_queue.pop_back();
        m_queued.store(static_cast<int>(m_queue.size()), std::memory_order_relaxed);
        --m_waiting;
        return next;
    }

    void setThreads(int threads)
    {
        const std::lock_guard lock(m_mutex);
        m_threads = threads;
        m_room.store(threads > 1 ? 1 : 0, std::memory_order_relaxed);
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::vector<FileDescriptor> m_queue;
    std::atomic<int> m_queued{0};
    std::atomic<int> m_room{0}; // no hand-overs while one thread walks alone
    int m_waiting = 0;
    int m_threads = 1;
    bool m_finished = false;
};

// One thread's share of a walk: depth first over explicit levels, so a deep tree costs heap, not stack.
class Walker
{
public:
    explicit Walker(WorkQueue &queue) : m_queue(queue), m_batch(std::make_unique<char[]>(batchSize)) {}

    // Called once, the first time a subfolder turns up after `after` items.
    void whenLarge(uint64_t after, std::function<void()> action)
    {
        m_largeAfter = after;
        m_whenLarge = std::move(action);
    }

    // Walks the tree below `folder` (when given), then whatever the queue hands this thread until the walk is
    // over.
    void run(FileDescriptor folder)
    {
        if (!folder)
            folder = m_queue.take();
        while (folder) {
            walkTree(std::move(folder));
            folder = m_queue.take();
        }
    }

    const SizeWalk::Result &result() const { return m_result; }

private:
    struct Level
    {
        FileDescriptor folder;
        // Records of a batch that were not yet measured when the walk went into a subfolder: the batch is
        // reused below, so they move here, once per batch.
        std::vector<char> kept;
        bool fromBatch = false;
        size_t size = 0;
        size_t offset = 0;
    };

    void walkTree(FileDescriptor top)
    {
        size_t depth = 0;
        enter(depth, std::move(top));
        while (depth > 0) {
            Level &level = m_levels[depth - 1];
            if (level.offset == level.size) {
                const ssize_t read = ::getdents64(level.folder.get(), m_batch.get(), batchSize);
                if (read <= 0) {
                    // The end of the folder, or a folder that cannot be read further: what was read counts.
                    level.folder.reset();
                    level.kept.clear();
                    --depth;
                    continue;
                }
                level.fromBatch = true;
                level.size = static_cast<size_t>(read);
                level.offset = 0;
            }
            const char *record = (level.fromBatch ? m_batch.get() : level.kept.data()) + level.offset;
            unsigned short length = 0;
            std::memcpy(&length, record + offsetof(struct dirent64, d_reclen), sizeof length);
            level.offset += length;
            const char *name = record + offsetof(struct dirent64, d_name);
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
                continue;
            FileDescriptor sub = measure(level.folder.get(), name);
            if (!sub)
                continue;
            if (m_whenLarge && m_result.items >= m_largeAfter)
                std::exchange(m_whenLarge, nullptr)();
            if (m_queue.wanted() && m_queue.offer(sub)) {
                ++m_result.handedOver;
                continue;
            }
            if (level.fromBatch) {
                level.kept.assign(m_batch.get() + level.offset, m_batch.get() + level.size);
                level.fromBatch = false;
                level.size = level.kept.size();
                level.offset = 0;
            }
            enter(depth, std::move(sub)); // may move the levels: `level` is not used after this
        }
    }

    void enter(size_t &depth, FileDescriptor folder)
    {
        if (depth == m_levels.size())
            m_levels.emplace_back();
        Level &level = m_levels[depth++];
        level.folder = std::move(folder);
        level.size = level.offset = 0;
    }

    // Counts the item and hands back its folder, opened, when it is one to go into. The type comes from
    // the item itself: a listing's type may be missing, and the item may have changed since the listing.
    FileDescriptor measure(int folder, const char *name)
    {
        struct statx info
        {};
        if (::statx(folder, name, AT_SYMLINK_NOFOLLOW | AT_STATX_DONT_SYNC, STATX_TYPE | STATX_SIZE, &info) !=
            0)
            return {};
        const unsigned type = info.stx_mode & S_IFMT;
        if (type == S_IFLNK) {
            struct statx target
            {};
            if (::statx(folder, name, AT_STATX_DONT_SYNC, STATX_TYPE, &target) != 0)
                return {};
        }
        m_result.bytes += static_cast<int64_t>(info.stx_size);
        ++m_result.items;
        if (type != S_IFDIR)
            return {};
        return FileDescriptor(::openat(folder, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    }

    WorkQueue &m_queue;
    std::unique_ptr<char[]> m_batch;
    std::vector<Level> m_levels;
    SizeWalk::Result m_result;
    uint64_t m_largeAfter = 0;
    std::function<void()> m_whenLarge;
};

} // namespace

SizeWalk::Result SizeWalk::below(int top, uint64_t shareAfter)
{
    // A descriptor of its own: listing moves the read position, which belongs to the caller's.
    FileDescriptor start(::openat(top, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!start)
        return {};
    WorkQueue queue;
    Walker first(queue);
    Walker second(queue);
    std::thread helper;
    first.whenLarge(shareAfter, [&] {
        queue.setThreads(2);
        try {
            helper = std::thread([&second] { second.run({}); });
        } catch (const std::system_error &) {
            queue.setThreads(1); // no thread to be had: this one walks alone
        }
    });
    first.run(std::move(start));
    if (helper.joinable())
        helper.join();
    const Result &one = first.result();
    const Result &two = second.result();
    return {one.bytes + two.bytes, one.items + two.items, one.handedOver + two.handedOver};
}

} // namespace posix
