#include "Platform/Runtime/Terminal.h"

#include "Platform/Runtime/StopSignals.h"

#include <cerrno>
#include <sys/ioctl.h>
#include <unistd.h>

namespace platform {

bool Terminal::isTerminal(std::FILE *stream)
{
    return ::isatty(::fileno(stream)) == 1;
}

int Terminal::columns(std::FILE *stream)
{
    winsize size{};
    if (::ioctl(::fileno(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

std::optional<QByteArray> Terminal::readLine(std::FILE *stream, const StopSignals &stopSignals)
{
    const int fd = ::fileno(stream);
    QByteArray line;
    for (;;) {
        if (!stopSignals.waitForInput(fd))
            return std::nullopt;
        // Byte by byte, so nothing after the line is taken from a shared input.
        char c;
        const ssize_t n = ::read(fd, &c, 1);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            return line.isEmpty() ? std::nullopt : std::optional<QByteArray>(line);
        if (c == '\n')
            return line;
        // A line as long as this is no answer to a question.
        if (line.size() < 4096)
            line.append(c);
    }
}

} // namespace platform
