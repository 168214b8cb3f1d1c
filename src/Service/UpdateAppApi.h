#pragma once

#include "Service/BaseRequest.h"

// The update notice for the application: POST /api/update-app with the common parameters.
class UpdateAppApi : public BaseRequest
{
public:
    QString requestUrl() const override;
    int64_t requestMethod() const override;
};
