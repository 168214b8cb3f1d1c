#pragma once

#include <QString>
#include <functional>
#include <memory>

class QSocketNotifier;

namespace platform {

// Turns SIGINT (Ctrl-C), SIGQUIT (Ctrl-\), SIGTERM and SIGHUP into calls on the main thread while it lives,
// so that a command-line run stops the way the window's cancel does (the job ends its phase and cleans up)
// instead of dying half way through. A write to a closed pipe fails with EPIPE instead of ending the
// process. One at a time; the signals' earlier handling comes back on destruction. Started programs do not
// inherit the handlers (posix::ChildProcess sets what they start with).
class StopSignals
{
public:
    using Handler = std::function<void(int signal)>;
    explicit StopSignals(Handler handler);
    ~StopSignals();
    StopSignals(const StopSignals &) = delete;
    StopSignals &operator=(const StopSignals &) = delete;

    // From now on Ctrl-Z (SIGTSTP) does not suspend the process; `refused` is called on the main thread
    // instead. For a run that cannot be paused as a whole: its programs run as root, out of reach, and would
    // go on alone. Not while a prompt waits for input (waitForInput would end).
    void refuseSuspension(std::function<void()> refused);
    // How many stop signals have arrived, also those the event loop has not delivered yet.
    static int count();
    // Waits until the descriptor can be read (true) or a stop signal arrives (false), without running the
    // event loop.
    bool waitForInput(int fd) const;
    static QString name(int signal);

private:
    void deliver();

    Handler m_handler;
    std::function<void()> m_suspensionRefused;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace platform
