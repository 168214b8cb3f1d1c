#pragma once

#include <QByteArray>
#include <cstdio>
#include <optional>

namespace platform {

class StopSignals;

// The little a command-line run needs of its terminal.
class Terminal
{
public:
    static bool isTerminal(std::FILE *stream);
    // The terminal's width in columns; 80 when it does not say.
    static int columns(std::FILE *stream);
    // One line of the stream without its line end; nothing at the end of input or when a stop signal
    // arrived first. Reads the descriptor directly: nothing of the stream may be buffered.
    static std::optional<QByteArray> readLine(std::FILE *stream, const StopSignals &stopSignals);
};

} // namespace platform
