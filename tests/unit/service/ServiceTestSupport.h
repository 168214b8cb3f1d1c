#pragma once

#include "Platform/Values/Error.h"
#include "Service/NetBaseRequest.h"

#include <QByteArray>
#include <QString>
#include <optional>
#include <ostream>

namespace servicetest {

struct Outcome
{
    int successes = 0;
    int failures = 0;
    bool onMainThread = true;
    std::optional<platform::Error> error;
};

bool onMainThread();

// Starts the request with counting blocks and runs the main loop until one block ran (or the time is
// up), then a little longer to catch a second delivery.
Outcome runToCompletion(const NetBaseRequestPtr &request, int timeoutMs = 5000);

// Points the service requests at a base URL for the lifetime of the object.
class ScopedServiceUrl
{
public:
    explicit ScopedServiceUrl(const QString &url);
    ~ScopedServiceUrl();
    ScopedServiceUrl(const ScopedServiceUrl &) = delete;
    ScopedServiceUrl &operator=(const ScopedServiceUrl &) = delete;

private:
    QByteArray m_previous;
    bool m_wasSet;
};

} // namespace servicetest

// Readable QString values in failure messages.
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}
