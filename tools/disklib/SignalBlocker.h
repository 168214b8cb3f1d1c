#pragma once

#include <signal.h>

namespace disktools {

// Holds back SIGINT, SIGTERM, SIGHUP and SIGQUIT for its lifetime, so a drive is never left half erased
// and unmounted by an impatient caller; a signal that arrived meanwhile takes effect when it ends.
class SignalBlocker
{
public:
    SignalBlocker();
    ~SignalBlocker();
    SignalBlocker(const SignalBlocker &) = delete;
    SignalBlocker &operator=(const SignalBlocker &) = delete;

private:
    sigset_t m_previous;
};

} // namespace disktools
