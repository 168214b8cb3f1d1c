#include "Cancellation.h"

#include <algorithm>
#include <csignal>
#include <initializer_list>
#include <time.h>

namespace cancellation {

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void noteRequest(int)
{
    stopRequested = 1;
}

} // namespace

void install()
{
    struct sigaction action
    {};
    action.sa_handler = noteRequest;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        sigaction(signal, &action, nullptr);
}

bool requested()
{
    return stopRequested != 0;
}

void sleepUntil(std::chrono::steady_clock::time_point due)
{
    // A request that lands between the check and the sleep would not wake it: short slices bound the delay.
    constexpr auto slice = std::chrono::milliseconds(50);
    while (!requested()) {
        const auto left = due - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero())
            return;
        const auto step = std::chrono::duration_cast<std::chrono::nanoseconds>(
            std::min<std::chrono::steady_clock::duration>(left, slice));
        const timespec pause{0, static_cast<long>(step.count())};
        nanosleep(&pause, nullptr);
    }
}

} // namespace cancellation
