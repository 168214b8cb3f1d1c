#pragma once

#include "Creation/MacOSModel.h"
#include "Service/BaseViewModel.h"

#include <QString>
#include <functional>
#include <optional>
#include <vector>

// Asks the catalog service for the installer catalog and for an update notice, and hands the results to
// the window. Each call returns at once; one of its two callables runs later on the main thread. The
// failure callables are always given nothing.
class InstallationImageViewModel : public BaseViewModel
{
    Q_OBJECT

public:
    using BaseViewModel::BaseViewModel;

    using ImageListSuccess = std::function<void(const std::vector<MacOSModelPtr> &items)>;
    // The update's download link; a null text when the notice carries none.
    using UpdateSuccess = std::function<void(const QString &downloadUrl)>;
    using Failure = Callback;

    // Why the last catalog request failed, set before its failure callable runs.
    struct CatalogFailure
    {
        enum class Kind
        {
            Unreachable,      // no answer came
            ServiceError,     // the service answered with an error: an envelope's code, or an HTTP status
            UnreadableAnswer, // an answer that is no envelope
        };
        Kind kind = Kind::Unreachable;
        QString message;  // the envelope's message, as sent
        int64_t code = 0; // the envelope's code
        int httpStatus = 0;
    };

    void installationImageListSuccess(ImageListSuccess success, Failure failure);
    const CatalogFailure &lastCatalogFailure() const { return m_catalogFailure; }
    void updateAppSuccess(UpdateSuccess success, Failure failure);

    // Whether a decoded answer is an envelope that reads as success; stores the envelope's message.
    bool answerSucceeded(const std::optional<QVariant> &answer);
    // The catalog records of a decoded answer; nothing when the envelope reads as a failure or the answer is
    // not an envelope at all. Stores the envelope's message.
    std::optional<std::vector<MacOSModelPtr>> catalogFromAnswer(const std::optional<QVariant> &answer);
    // The update link of a decoded answer (a null text when it carries none); nothing on failure.
    std::optional<QString> updateLinkFromAnswer(const std::optional<QVariant> &answer);

private:
    CatalogFailure m_catalogFailure;
    // The answer as an envelope: an empty one for an empty body, nothing when it is not a JSON object.
    static std::optional<QVariantMap> envelopeFromAnswer(const std::optional<QVariant> &answer);
};
