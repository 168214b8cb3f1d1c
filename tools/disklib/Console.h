#pragma once

#include <string>

namespace disktools {

// Everything the tools say goes to standard output, one ordered stream, flushed at once: the caller reads
// it through a pipe while the tool works and looks for lines that begin with "Error:".
class Console
{
public:
    // Writes the text as it is (no line end added) and flushes.
    static void write(const std::string &text);
    static void line(const std::string &text);
    static void error(const std::string &message);
    // A failed write to a closed pipe must not kill a tool halfway through an erase.
    static void ignoreBrokenPipe();
};

} // namespace disktools
