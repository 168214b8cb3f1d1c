#pragma once

#include <QObject>
#include <QTimer>
#include <atomic>
#include <thread>

namespace testsupport {

// Watches the GUI thread from another thread: a timer on the GUI thread beats every 10 ms and the watcher
// records the longest gap. A gap beyond the limit means the GUI thread is stuck for good (a read that never
// returns); the watcher then ends the process with a message rather than leave the test to time out.
class GuiWatchdog
{
public:
    explicit GuiWatchdog(int abortAfterMs = 20000);
    ~GuiWatchdog();
    GuiWatchdog(const GuiWatchdog &) = delete;
    GuiWatchdog &operator=(const GuiWatchdog &) = delete;

    // Starts a new measurement (the test's own set-up may have kept the GUI thread busy).
    void reset();
    int longestStallMs() const { return static_cast<int>(m_longest.load()); }

private:
    static qint64 now();

    QTimer m_beat;
    std::atomic<qint64> m_lastBeat;
    std::atomic<qint64> m_longest{0};
    std::atomic<bool> m_stop{false};
    std::thread m_watcher;
};

} // namespace testsupport
