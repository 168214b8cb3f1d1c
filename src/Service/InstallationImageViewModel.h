#pragma once

#include "Creation/MacOSModel.h"
#include "Online/InstallationImageRequests.h"
#include "Service/BaseViewModel.h"

#include <QString>
#include <functional>
#include <optional>
#include <vector>

// Asks the catalog service for the installer catalog and for an update notice, and hands the results to
// the window.
class InstallationImageViewModel : public BaseViewModel, public InstallationImageRequests
{
public:
    using ImageListSuccess = InstallationImageRequests::ImageListSuccess;
    using UpdateSuccess = InstallationImageRequests::UpdateSuccess;
    using Failure = InstallationImageRequests::Failure;

    void installationImageListSuccess(ImageListSuccess success, Failure failure) override;
    void updateAppSuccess(UpdateSuccess success, Failure failure) override;

    // Whether a decoded answer is an envelope that reads as success; stores the envelope's message.
    bool answerSucceeded(const platform::ObjectPtr &answer);
    // The catalog records of a decoded answer; nothing when the envelope reads as a failure or the answer is
    // not an envelope at all. Stores the envelope's message.
    std::optional<std::vector<MacOSModelPtr>> catalogFromAnswer(const platform::ObjectPtr &answer);
    // The update link of a decoded answer (a null text when it carries none); nothing on failure.
    std::optional<QString> updateLinkFromAnswer(const platform::ObjectPtr &answer);

private:
    // The answer as an envelope: an empty one for an empty body, nothing when it is not a JSON object.
    static platform::DictionaryPtr envelopeFromAnswer(const platform::ObjectPtr &answer);
};
