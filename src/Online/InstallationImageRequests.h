#pragma once

#include "Creation/MacOSModel.h"
#include "Platform/Values/Object.h"

#include <QString>
#include <functional>
#include <vector>

// The catalog and update requests of one window, as the window sees them: each call returns at once, and
// one of its two callables runs later on the main thread. The failure callables are always given nothing.
class InstallationImageRequests
{
public:
    using ImageListSuccess = std::function<void(const std::vector<MacOSModelPtr> &items)>;
    // The update's download link; a null text when the notice carries none.
    using UpdateSuccess = std::function<void(const QString &downloadUrl)>;
    using Failure = std::function<void(const platform::ObjectPtr &value)>;

    virtual ~InstallationImageRequests() = default;
    virtual void installationImageListSuccess(ImageListSuccess success, Failure failure) = 0;
    virtual void updateAppSuccess(UpdateSuccess success, Failure failure) = 0;
};
