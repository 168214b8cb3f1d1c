#include "ServiceTestSupport.h"

#include "support/EventLoop.h"

#include <QCoreApplication>
#include <QThread>
#include <memory>

namespace servicetest {

bool onMainThread()
{
    return QThread::currentThread() == QCoreApplication::instance()->thread();
}

Outcome runToCompletion(const NetBaseRequestPtr &request, int timeoutMs)
{
    auto outcome = std::make_shared<Outcome>();
    request->startWithCompletionBlockWithSuccess(
        [outcome](const NetBaseRequestPtr &) {
            ++outcome->successes;
            outcome->onMainThread = outcome->onMainThread && onMainThread();
        },
        [outcome](const NetBaseRequestPtr &failed) {
            ++outcome->failures;
            outcome->onMainThread = outcome->onMainThread && onMainThread();
            outcome->error = failed->error();
        });
    testsupport::waitUntil([&] { return outcome->successes + outcome->failures > 0; }, timeoutMs);
    testsupport::spin(30);
    return *outcome;
}

ScopedServiceUrl::ScopedServiceUrl(const QString &url)
    : m_previous(qgetenv("BOOTDRIVE_SERVICE_URL")),
      m_wasSet(qEnvironmentVariableIsSet("BOOTDRIVE_SERVICE_URL"))
{
    qputenv("BOOTDRIVE_SERVICE_URL", url.toUtf8());
}

ScopedServiceUrl::~ScopedServiceUrl()
{
    if (m_wasSet)
        qputenv("BOOTDRIVE_SERVICE_URL", m_previous);
    else
        qunsetenv("BOOTDRIVE_SERVICE_URL");
}

} // namespace servicetest
