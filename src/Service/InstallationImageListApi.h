#pragma once

#include "Service/BaseRequest.h"

// The catalog of installer images: POST /api/installation-image-list with the common parameters and
// platform=0.
class InstallationImageListApi : public BaseRequest
{
public:
    QString requestUrl() const override;
    int64_t requestMethod() const override;
    platform::ObjectPtr requestArgument() override;
};
