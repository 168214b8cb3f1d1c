#include "Platform/Runtime/SystemInfo.h"

#include <QLocale>
#include <QSysInfo>

namespace platform {

QStringList SystemInfo::preferredLanguages()
{
    return QLocale::system().uiLanguages();
}

QString SystemInfo::operatingSystemVersionString()
{
    return QSysInfo::productVersion();
}

} // namespace platform
