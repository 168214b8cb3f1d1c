#pragma once

#include <optional>

// The process entry of the command line. Commands run without a window or a display (a core application,
// no GUI), with the application's tools first on PATH as in the window.
class CliApplication
{
public:
    // The exit status of the command the arguments ask for; nothing when they ask for the window.
    static std::optional<int> run(int argc, char *argv[]);
};
