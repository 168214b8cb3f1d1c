#pragma once

#include <cstdint>

namespace posix {

// The sum of the own sizes of everything below a folder, measured every second while a drive is written, so
// it must cost less than du on the same tree. Folders are listed in large raw batches in whatever order the
// file system keeps them, each entry is stat'ed relative to its folder's descriptor, and a tree that proves
// large is shared with a second thread; small trees never pay for one.
//
// What counts: every item below the top at any depth, files and folders alike, with its own size (a link
// with the link's size). A link whose target is missing counts as nothing, a link is never descended into,
// and an item that cannot be read is passed over while the rest is measured.
class SizeWalk
{
public:
    struct Result
    {
        int64_t bytes = 0;
        uint64_t items = 0;
        // Folders one thread handed to the other; 0 when the walk stayed on one thread.
        uint64_t handedOver = 0;
    };

    // Below this many items a walk stays on the calling thread: starting a thread costs about as much as
    // stat'ing a few hundred entries.
    static constexpr uint64_t defaultShareAfter = 2048;

    // Measures below the open folder `top` (left open, its read position untouched). Once `shareAfter` items
    // are counted a second thread joins the walk.
    static Result below(int top, uint64_t shareAfter = defaultShareAfter);
};

} // namespace posix
