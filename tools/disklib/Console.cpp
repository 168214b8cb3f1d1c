#include "disklib/Console.h"

#include <csignal>
#include <cstdio>

namespace disktools {

void Console::write(const std::string &text)
{
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
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
