#include "Service/InstallationImageListApi.h"

#include "Common/ForeignText.h"
#include "Common/SafeAccess.h"
#include "Common/SafeMerge.h"
#include "Platform/Values/Array.h"
#include "Platform/Values/String.h"

#include <QtConcurrent/QtConcurrentMap>

using namespace platform;

QString InstallationImageListApi::requestUrl() const
{
    return QStringLiteral("/api/installation-image-list");
}

int64_t InstallationImageListApi::requestMethod() const
{
    return RequestMethodPOST;
}

ObjectPtr InstallationImageListApi::requestArgument()
{
    // A copy, so the request's own common parameters stay as they are.
    const DictionaryPtr argument = baseParameters()->copy();
    SafeAccess::safe_setInteger(argument, 0, QStringLiteral("platform"));
    return argument;
}

void InstallationImageListApi::requestCompletePreprocessor()
{
    m_entries = entriesFromAnswer(responseJSONObject());
}

QString InstallationImageListApi::displayText(const QString &text)
{
    return ForeignText::bounded(text, DisplayTextLimit);
}

namespace {

MacOSModelPtr recordFor(DictionaryPtr entry)
{
    static const QString shownTexts[] = {QStringLiteral("name"), QStringLiteral("version"),
                                         QStringLiteral("release_date"), QStringLiteral("info")};
    // A description of megabytes would take seconds to measure and lay out; what is shown is cut first.
    bool copied = false;
    for (const QString &key : shownTexts) {
        const StringPtr text = SafeMerge::safe_stringForKey(entry, key);
        if (text && text->value().size() > InstallationImageListApi::DisplayTextLimit) {
            if (!copied)
                entry = entry->copy();
            copied = true;
            entry->setValue(key, String::make(InstallationImageListApi::displayText(text->value())));
        }
    }
    return MacOSModel::initWithDictionary(entry);
}

} // namespace

std::vector<MacOSModelPtr> InstallationImageListApi::entriesFromAnswer(const ObjectPtr &answer)
{
    std::vector<DictionaryPtr> objects;
    if (const ArrayPtr list = SafeMerge::safe_arrayForKey(as<Dictionary>(answer), QStringLiteral("data"))) {
        objects.reserve(list->items().size());
        // An element that is not an object describes no installer; leave it out.
        for (const ObjectPtr &element : list->items())
            if (DictionaryPtr entry = as<Dictionary>(element))
                objects.push_back(std::move(entry));
    }
    // Measuring the descriptions is the costly part: a large catalog shares it among worker threads.
    return QtConcurrent::blockingMapped<std::vector<MacOSModelPtr>>(
        objects, [](const DictionaryPtr &entry) { return recordFor(entry); });
}
