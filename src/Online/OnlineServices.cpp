#include "Online/OnlineServices.h"

#include "Platform/Runtime/InstallLayout.h"
#include "Platform/Runtime/Log.h"

#include <QPluginLoader>

namespace {

struct Provider
{
    bool tried = false;
    OnlineServices *services = nullptr;
};

Provider &provider()
{
    static Provider current;
    return current;
}

} // namespace

OnlineServices *OnlineServices::shared()
{
    Provider &current = provider();
    if (current.tried)
        return current.services;
    current.tried = true;
    // The module stays loaded for the life of the process: the objects it makes are in use until the end.
    static QPluginLoader loader(platform::InstallLayout::current().toolDirectory() +
                                QStringLiteral("/bootdrive-online.so"));
    current.services = qobject_cast<OnlineServices *>(loader.instance());
    if (!current.services)
        platform::Log::write(
            QStringLiteral("The catalog and pictures are not available: %1").arg(loader.errorString()));
    return current.services;
}

void OnlineServices::useInProcess(OnlineServices *services)
{
    provider() = Provider{true, services};
}
