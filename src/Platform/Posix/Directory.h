#pragma once

#include "Platform/Posix/FileDescriptor.h"

#include <functional>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace posix {

// Folder listing and tree walks relative to folder descriptors, as du and cp do: the kernel never resolves
// whole paths again, a link is never followed, and a folder renamed during the walk cannot send it
// elsewhere.
class Directory
{
public:
    // The names in an open folder, without "." and "..", sorted so every walk sees the same order. False
    // (with errno) when the folder cannot be read.
    static bool entries(int folder, std::vector<std::string> &names);
    // A subfolder, opened without following a link that stands in its place.
    static FileDescriptor openFolder(int parent, const char *name);
    // A path below the walk's top: "a/b".
    static std::string child(const std::string &relative, const std::string &name);

    struct Entry
    {
        int folder;              // the open folder that holds the item
        const std::string &name; // its name there
        const std::string &path; // relative to the walk's top
        const struct stat &info; // its own information (a link is not followed)
    };
    // What to do when an item cannot be read.
    enum class OnError
    {
        Skip,
        Stop,
    };
    // Calls visit for every item below the open folder, depth first, a folder before what it holds. visit
    // returns false to end the walk. With OnError::Stop an unreadable item ends it, with errno set and its
    // path in failedPath; walk then returns false.
    static bool walk(int top, const std::function<bool(const Entry &)> &visit,
                     OnError onError = OnError::Skip, std::string *failedPath = nullptr);
};

} // namespace posix
