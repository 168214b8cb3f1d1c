#include "Service/InstallationImageListApi.h"

#include "Common/SafeAccess.h"

QString InstallationImageListApi::requestUrl() const
{
    return QStringLiteral("/api/installation-image-list");
}

int64_t InstallationImageListApi::requestMethod() const
{
    return RequestMethodPOST;
}

platform::ObjectPtr InstallationImageListApi::requestArgument()
{
    // A copy, so the request's own common parameters stay as they are.
    const platform::DictionaryPtr argument = baseParameters()->copy();
    SafeAccess::safe_setInteger(argument, 0, QStringLiteral("platform"));
    return argument;
}
