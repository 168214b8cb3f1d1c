#include "Platform/Runtime/StopSignals.h"

#include <QSocketNotifier>
#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr std::array<int, 4> kStopSignals = {SIGINT, SIGQUIT, SIGTERM, SIGHUP};
std::atomic<int> arrived{0};
int wakeFds[2] = {-1, -1};
// The stop signals', SIGPIPE's and SIGTSTP's earlier handling.
struct sigaction saved[kStopSignals.size() + 2];
constexpr size_t kSavedPipe = kStopSignals.size();
constexpr size_t kSavedSuspend = kStopSignals.size() + 1;
bool suspendCaught = false;

// Hands the signal to the main thread through the pipe; all a refused Ctrl-Z does.
void wake(int signal)
{
    const int keep = errno;
    const auto byte = static_cast<char>(signal);
    (void)!::write(wakeFds[1], &byte, 1);
    errno = keep;
}

void onStop(int signal)
{
    arrived.fetch_add(1);
    wake(signal);
}

// Caught rather than ignored: an ignored SIGPIPE would be inherited by every program the job starts.
void onPipe(int) {}

} // namespace

StopSignals::StopSignals(Handler handler) : m_handler(std::move(handler))
{
    arrived = 0;
    if (::pipe2(wakeFds, O_CLOEXEC | O_NONBLOCK) != 0)
        wakeFds[0] = wakeFds[1] = -1;
    struct sigaction action
    {};
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a blocking read is interrupted, and waitForInput() sees the wake-up pipe anyway.
    action.sa_handler = onStop;
    for (size_t i = 0; i < kStopSignals.size(); ++i)
        ::sigaction(kStopSignals[i], &action, &saved[i]);
    action.sa_handler = onPipe;
    ::sigaction(SIGPIPE, &action, &saved[kSavedPipe]);
    if (wakeFds[0] >= 0) {
        m_notifier = std::make_unique<QSocketNotifier>(wakeFds[0], QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(),
                         [this] { deliver(); });
    }
}

StopSignals::~StopSignals()
{
    for (size_t i = 0; i < kStopSignals.size(); ++i)
        ::sigaction(kStopSignals[i], &saved[i], nullptr);
    ::sigaction(SIGPIPE, &saved[kSavedPipe], nullptr);
    if (suspendCaught)
        ::sigaction(SIGTSTP, &saved[kSavedSuspend], nullptr);
    suspendCaught = false;
    m_notifier.reset();
    for (int &fd : wakeFds) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

void StopSignals::refuseSuspension(std::function<void()> refused)
{
    m_suspensionRefused = std::move(refused);
    if (suspendCaught)
        return;
    struct sigaction action
    {};
    sigemptyset(&action.sa_mask);
    action.sa_handler = wake;
    suspendCaught = ::sigaction(SIGTSTP, &action, &saved[kSavedSuspend]) == 0;
}

int StopSignals::count()
{
    return arrived.load();
}

void StopSignals::deliver()
{
    char received[64];
    const ssize_t n = ::read(wakeFds[0], received, sizeof received);
    for (ssize_t i = 0; i < n; ++i) {
        if (received[i] == SIGTSTP) {
            if (m_suspensionRefused)
                m_suspensionRefused();
        } else if (m_handler) {
            m_handler(received[i]);
        }
    }
}

bool StopSignals::waitForInput(int fd) const
{
    for (;;) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {wakeFds[0], POLLIN, 0}};
        const int ready = ::poll(fds, wakeFds[0] >= 0 ? 2 : 1, -1);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0 || (fds[1].revents & POLLIN))
            return false;
        return true;
    }
}

QString StopSignals::name(int signal)
{
    switch (signal) {
    case SIGINT:
        return QStringLiteral("SIGINT");
    case SIGQUIT:
        return QStringLiteral("SIGQUIT");
    case SIGTERM:
        return QStringLiteral("SIGTERM");
    case SIGHUP:
        return QStringLiteral("SIGHUP");
    default:
        return QStringLiteral("signal %1").arg(signal);
    }
}

} // namespace platform
