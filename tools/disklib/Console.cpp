#include "disklib/Console.h"

#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace disktools {

void Console::write(const std::string &text)
{
    // Straight to the descriptor: a signal that interrupts a write must not lose the rest of the line, as a
    // stdio stream would once it has seen EINTR.
    for (size_t done = 0; done < text.size();) {
        const ssize_t n = ::write(STDOUT_FILENO, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += static_cast<size_t>(n);
    }
}

void Console::line(const std::string &text)
{
    write(text + "\n");
}

void Console::error(const std::string &message)
{
    write("Error: " + message + "\n");
}

void Console::ignoreBrokenPipe()
{
    std::signal(SIGPIPE, SIG_IGN);
}

} // namespace disktools
