#include "Platform/Runtime/Dispatch.h"

#include <QCoreApplication>
#include <QThread>
#include <QThreadPool>
#include <QTimer>
#include <cmath>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform {

namespace {

QThreadPool &workerPool()
{
    static QThreadPool *pool = [] {
        auto *p = new QThreadPool;
        p->setMaxThreadCount(64);
        p->setExpiryTimeout(30000);
        return p;
    }();
    return *pool;
}

} // namespace

void Dispatch::main(Block block)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || !block)
        return;
    QMetaObject::invokeMethod(app, std::move(block), Qt::QueuedConnection);
}

void Dispatch::mainAfter(double seconds, Block block)
{
    if (!block)
        return;
    const int ms = seconds <= 0 ? 0 : static_cast<int>(std::lround(seconds * 1000.0));
    // The timer must live on the main thread, so arm it from there.
    main([ms, block = std::move(block)]() mutable {
        QTimer::singleShot(ms, QCoreApplication::instance(), std::move(block));
    });
}

void Dispatch::global(Block block)
{
    if (!block)
        return;
    workerPool().start(std::move(block));
}

void Dispatch::globalBackground(Block block)
{
    if (!block)
        return;
    workerPool().start([block = std::move(block)] {
        // Linux keeps a nice value per thread.
        const auto thread = static_cast<id_t>(::syscall(SYS_gettid));
        const int before = ::getpriority(PRIO_PROCESS, thread);
        ::setpriority(PRIO_PROCESS, thread, 10);
        block();
        ::setpriority(PRIO_PROCESS, thread, before);
    });
}

bool Dispatch::isMainThread()
{
    QCoreApplication *app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

} // namespace platform
