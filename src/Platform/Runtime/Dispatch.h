#pragma once

#include <functional>

namespace platform {

// The main queue is the Qt GUI thread's event loop; the global queue is a pool of worker threads.
class Dispatch
{
public:
    using Block = std::function<void()>;

    // Runs the block on the main thread after everything already queued there; callable from any thread.
    static void main(Block block);
    // Runs the block on the main thread once the given number of seconds has passed.
    static void mainAfter(double seconds, Block block);
    // Runs the block on a worker thread. Blocks may wait for a long time (a child process, a dialog):
    // the pool grows rather than queueing behind them.
    static void global(Block block);
    // Runs the block on a worker thread at background priority (a higher nice value for that thread while
    // the block runs), for bookkeeping that must not take time from the main thread.
    static void globalBackground(Block block);
    static bool isMainThread();
};

} // namespace platform
