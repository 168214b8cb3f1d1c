#pragma once

#include <string>

// The command line as the system passes it: the tool's own path may come again as the first argument, then
// --volume V, the installer as --applicationpath P or a bare P, and --nointeraction.
struct Arguments
{
    std::string volume;
    std::string applicationPath; // empty: the bundle that contains the tool
    bool noInteraction = false;
    std::string error; // set when the command line is not understood

    static Arguments parse(int argc, char **argv, const std::string &selfPath);
    static std::string usage();
};
