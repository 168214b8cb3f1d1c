#pragma once

#include <QtGlobal>
#include <deque>
#include <optional>
#include <utility>

// The speed of a transfer over its last ten seconds, and the time it will take to finish at that speed,
// from samples of how far it got. Both the window and the command line tell the user what is left.
class TransferRate
{
public:
    // Forgets what was seen, for a new transfer of `total` bytes.
    void restart(qint64 total);
    // `bytes` done so far, at `ms` milliseconds (any clock that only moves forward).
    void sample(qint64 ms, qint64 bytes);
    // Bytes a second; nothing until two samples a moment apart show movement.
    std::optional<double> bytesPerSecond() const;
    // Seconds left at the current speed; nothing while the speed is unknown.
    std::optional<qint64> secondsLeft() const;
    qint64 total() const { return m_total; }

private:
    static constexpr qint64 kWindowMs = 10000;
    qint64 m_total = 0;
    std::deque<std::pair<qint64, qint64>> m_samples;
};
