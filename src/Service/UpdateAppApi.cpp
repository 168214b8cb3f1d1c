#include "Service/UpdateAppApi.h"

QString UpdateAppApi::requestUrl() const
{
    return QStringLiteral("/api/update-app");
}

int64_t UpdateAppApi::requestMethod() const
{
    return RequestMethodPOST;
}
