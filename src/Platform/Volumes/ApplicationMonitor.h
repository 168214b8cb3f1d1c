#pragma once

#include <QCoreApplication>
#include <QPointer>
#include <QThread>

namespace platform {

// The application's one monitor of a kind: made on first use on the main thread and owned by the
// application object; none without one, or when first asked for on another thread.
template <class Monitor> Monitor *applicationMonitor()
{
    static QPointer<Monitor> monitor;
    QCoreApplication *app = QCoreApplication::instance();
    if (!monitor && app && QThread::currentThread() == app->thread())
        monitor = new Monitor(app);
    return monitor;
}

} // namespace platform
