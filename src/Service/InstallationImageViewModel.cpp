#include "Service/InstallationImageViewModel.h"

#include "Common/SafeMerge.h"
#include "Service/InstallationImageListApi.h"
#include "Service/UpdateAppApi.h"

#include <QPointer>
#include <algorithm>

using namespace platform;

std::optional<QVariantMap>
InstallationImageViewModel::envelopeFromAnswer(const std::optional<QVariant> &answer)
{
    if (!answer)
        return QVariantMap();
    return SafeValue::dictionary(*answer);
}

bool InstallationImageViewModel::answerSucceeded(const std::optional<QVariant> &answer)
{
    const std::optional<QVariantMap> envelope = envelopeFromAnswer(answer);
    return envelope && requestSuccess(*envelope);
}

std::optional<std::vector<MacOSModelPtr>>
InstallationImageViewModel::catalogFromAnswer(const std::optional<QVariant> &answer)
{
    if (!answerSucceeded(answer))
        return std::nullopt;
    return InstallationImageListApi::entriesFromAnswer(answer);
}

std::optional<QString> InstallationImageViewModel::updateLinkFromAnswer(const std::optional<QVariant> &answer)
{
    const std::optional<QVariantMap> envelope = envelopeFromAnswer(answer);
    if (!envelope || !requestSuccess(*envelope))
        return std::nullopt;
    const QVariantMap payload =
        SafeMerge::safe_dictionaryForKey(*envelope, QStringLiteral("data")).value_or(QVariantMap());
    return SafeMerge::safe_stringForKey(payload, QStringLiteral("download_url")).value_or(QString());
}

void InstallationImageViewModel::installationImageListSuccess(ImageListSuccess success, Failure failure)
{
    auto request = std::make_shared<InstallationImageListApi>();
    const QPointer<InstallationImageViewModel> weakSelf(this);
    request->startWithCompletionBlockWithSuccess(
        [weakSelf, success, failure](const NetBaseRequestPtr &finished) {
            // With the view model gone the answer cannot be read: a failure, as it always was.
            InstallationImageViewModel *const self = weakSelf;
            if (!self) {
                if (failure)
                    failure({});
                return;
            }
            const std::optional<QVariant> &answer = finished->responseJSONObject();
            if (self->answerSucceeded(answer)) {
                // The records were read on the processing queue; here only the envelope is.
                if (success)
                    success(std::static_pointer_cast<InstallationImageListApi>(finished)->entries());
                return;
            }
            if (const std::optional<QVariantMap> envelope = envelopeFromAnswer(answer)) {
                self->m_catalogFailure = {
                    CatalogFailure::Kind::ServiceError,
                    SafeMerge::safe_stringForKey(*envelope, QStringLiteral("message")).value_or(QString()),
                    SafeMerge::safe_integerForKey(*envelope, QStringLiteral("code")), 0};
            } else {
                self->m_catalogFailure = {CatalogFailure::Kind::UnreadableAnswer, {}, 0, 0};
            }
            if (failure)
                failure({});
        },
        [weakSelf, failure](const NetBaseRequestPtr &finished) {
            // An HTTP status is an answer: an error, or a success whose body could not be decoded.
            using Kind = CatalogFailure::Kind;
            const int status = finished->responseStatusCode();
            if (weakSelf)
                weakSelf->m_catalogFailure = {status <= 0                     ? Kind::Unreachable
                                              : status >= 200 && status < 300 ? Kind::UnreadableAnswer
                                                                              : Kind::ServiceError,
                                              {},
                                              0,
                                              std::max(status, 0)};
            if (failure)
                failure({});
        });
}

void InstallationImageViewModel::updateAppSuccess(UpdateSuccess success, Failure failure)
{
    auto request = std::make_shared<UpdateAppApi>();
    const QPointer<InstallationImageViewModel> weakSelf(this);
    request->startWithCompletionBlockWithSuccess(
        [weakSelf, success, failure](const NetBaseRequestPtr &finished) {
            InstallationImageViewModel *const self = weakSelf;
            const auto link =
                self ? self->updateLinkFromAnswer(finished->responseJSONObject()) : std::nullopt;
            if (link) {
                if (success)
                    success(*link);
            } else if (failure) {
                failure({});
            }
        },
        [failure](const NetBaseRequestPtr &) {
            if (failure)
                failure({});
        });
}
