#include "support/GuiWatchdog.h"

#include <chrono>
#include <cstdio>
#include <unistd.h>

namespace testsupport {

qint64 GuiWatchdog::now()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

GuiWatchdog::GuiWatchdog(int abortAfterMs) : m_lastBeat(now())
{
    m_beat.setInterval(10);
    QObject::connect(&m_beat, &QTimer::timeout, [this] { m_lastBeat = now(); });
    m_beat.start();
    m_watcher = std::thread([this, abortAfterMs] {
        while (!m_stop.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            const qint64 gap = now() - m_lastBeat.load();
            if (gap > m_longest.load())
                m_longest = gap;
            if (gap > abortAfterMs) {
                std::fprintf(stderr, "GuiWatchdog: the GUI thread has been blocked for %lld ms\n",
                             static_cast<long long>(gap));
                std::fflush(stderr);
                ::_exit(3);
            }
        }
    });
}

GuiWatchdog::~GuiWatchdog()
{
    m_stop = true;
    m_watcher.join();
}

void GuiWatchdog::reset()
{
    m_lastBeat = now();
    m_longest = 0;
}

} // namespace testsupport
