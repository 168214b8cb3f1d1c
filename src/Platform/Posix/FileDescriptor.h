#pragma once

#include <cerrno>
#include <cstddef>
#include <unistd.h>
#include <utility>

namespace posix {

// Owns one open descriptor and closes it when it goes away, so early returns cannot leak it.
class FileDescriptor
{
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() { reset(); }
    FileDescriptor(FileDescriptor &&other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    FileDescriptor &operator=(FileDescriptor &&other) noexcept
    {
        if (this != &other)
            reset(std::exchange(other.m_fd, -1));
        return *this;
    }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;

    int get() const { return m_fd; }
    bool isValid() const { return m_fd >= 0; }
    explicit operator bool() const { return isValid(); }
    // Hands the descriptor over; the caller closes it.
    int release() { return std::exchange(m_fd, -1); }
    void reset(int fd = -1)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }
    // Writes all of it, going on after an interrupted or partial write; false (with errno) when one fails.
    static bool writeAll(int fd, const char *data, size_t length)
    {
        for (size_t done = 0; done < length;) {
            const ssize_t n = ::write(fd, data + done, length - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            done += static_cast<size_t>(n);
        }
        return true;
    }

private:
    int m_fd = -1;
};

} // namespace posix
