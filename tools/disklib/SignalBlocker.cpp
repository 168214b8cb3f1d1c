#include "disklib/SignalBlocker.h"

#include <initializer_list>

namespace disktools {

SignalBlocker::SignalBlocker()
{
    sigset_t blocked;
    sigemptyset(&blocked);
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
        sigaddset(&blocked, signal);
    sigprocmask(SIG_BLOCK, &blocked, &m_previous);
}

SignalBlocker::~SignalBlocker()
{
    sigprocmask(SIG_SETMASK, &m_previous, nullptr);
}

} // namespace disktools
