#include "Service/InstallationImageViewModel.h"

#include "Common/SafeMerge.h"
#include "Service/InstallationImageListApi.h"
#include "Service/UpdateAppApi.h"

using namespace platform;

DictionaryPtr InstallationImageViewModel::envelopeFromAnswer(const ObjectPtr &answer)
{
    if (!answer)
        return std::make_shared<Dictionary>();
    if (auto dictionary = as<Dictionary>(answer))
        return dictionary->copy();
    return {};
}

std::optional<std::vector<MacOSModelPtr>>
InstallationImageViewModel::catalogFromAnswer(const ObjectPtr &answer)
{
    const DictionaryPtr envelope = envelopeFromAnswer(answer);
    if (!envelope || !requestSuccess(envelope))
        return std::nullopt;
    std::vector<MacOSModelPtr> items;
    if (const ArrayPtr entries = SafeMerge::safe_arrayForKey(envelope, QStringLiteral("data"))) {
        for (const ObjectPtr &entry : entries->items()) {
            // An entry that is not an object describes no installer; leave it out.
            if (const auto dictionary = as<Dictionary>(entry))
                items.push_back(MacOSModel::initWithDictionary(dictionary));
        }
    }
    return items;
}

std::optional<QString> InstallationImageViewModel::updateLinkFromAnswer(const ObjectPtr &answer)
{
    const DictionaryPtr envelope = envelopeFromAnswer(answer);
    if (!envelope || !requestSuccess(envelope))
        return std::nullopt;
    const DictionaryPtr payload = SafeMerge::safe_dictionaryForKey(envelope, QStringLiteral("data"));
    const StringPtr link = SafeMerge::safe_stringForKey(payload, QStringLiteral("download_url"));
    return link ? link->value() : QString();
}

void InstallationImageViewModel::installationImageListSuccess(ImageListSuccess success, Failure failure)
{
    auto request = std::make_shared<InstallationImageListApi>();
    std::weak_ptr<InstallationImageViewModel> weakSelf =
        std::static_pointer_cast<InstallationImageViewModel>(weak_from_this().lock());
    request->startWithCompletionBlockWithSuccess(
        [weakSelf, success, failure](const NetBaseRequestPtr &finished) {
            const auto self = weakSelf.lock();
            const auto items = self ? self->catalogFromAnswer(finished->responseJSONObject()) : std::nullopt;
            if (items) {
                if (success)
                    success(*items);
            } else if (failure) {
                failure({});
            }
        },
        [failure](const NetBaseRequestPtr &) {
            if (failure)
                failure({});
        });
}

void InstallationImageViewModel::updateAppSuccess(UpdateSuccess success, Failure failure)
{
    auto request = std::make_shared<UpdateAppApi>();
    std::weak_ptr<InstallationImageViewModel> weakSelf =
        std::static_pointer_cast<InstallationImageViewModel>(weak_from_this().lock());
    request->startWithCompletionBlockWithSuccess(
        [weakSelf, success, failure](const NetBaseRequestPtr &finished) {
            const auto self = weakSelf.lock();
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
