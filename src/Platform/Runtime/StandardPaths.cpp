#include "Platform/Runtime/StandardPaths.h"

#include "Platform/Runtime/BundleInfo.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

namespace platform {

QString StandardPaths::cacheLocation()
{
    QString location = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    // Without an application object Qt names no application folder; files must not land in the bare cache
    // root.
    QString application = QCoreApplication::applicationName();
    if (application.isEmpty()) {
        application = BundleInfo::executable();
        if (!location.isEmpty())
            location += QLatin1Char('/') + application;
    }
    if (location.isEmpty())
        location = QDir::tempPath() + QLatin1Char('/') + application + QStringLiteral("-cache");
    return location;
}

} // namespace platform
