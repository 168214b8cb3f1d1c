#pragma once

#include <QtGlobal>

namespace platform {

// What one HTTP transfer may cost at most. The servers we talk to are outside our control, so every
// transfer is bounded in size and in time: an answer that never ends, or one far larger than any real
// answer, fails instead of filling memory. Every cap the application applies to network data is here.
struct TransferLimits
{
    // Bytes of body (after any content decoding); beyond this the transfer is aborted and fails.
    qint64 maxBodyBytes = 0;
    // Seconds without any data before the transfer fails as timed out.
    double idleSeconds = 0;
    // Seconds from start to end, however steadily data keeps coming.
    double totalSeconds = 0;

    // Answers of the catalog service: the largest real catalog is well under 1 MiB.
    static constexpr TransferLimits service() { return {8LL * 1024 * 1024, 60.0, 60.0}; }
    // Catalog logos.
    static constexpr TransferLimits image() { return {4LL * 1024 * 1024, 30.0, 30.0}; }
    // Pictures that claim more pixels than this in either direction are refused before decoding.
    static constexpr int MaxImageSide = 4096;
};

} // namespace platform
