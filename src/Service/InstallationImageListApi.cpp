#include "Service/InstallationImageListApi.h"

#include "Common/ForeignText.h"
#include "Common/SafeAccess.h"
#include "Common/SafeMerge.h"

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

std::optional<QVariant> InstallationImageListApi::requestArgument()
{
    // A copy, so the request's own common parameters stay as they are.
    QVariantMap argument = baseParameters();
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

MacOSModelPtr recordFor(QVariantMap entry)
{
    static const QString shownTexts[] = {QStringLiteral("name"), QStringLiteral("version"),
                                         QStringLiteral("release_date"), QStringLiteral("info")};
    // A description of megabytes would take seconds to measure and lay out; what is shown is cut first.
    for (const QString &key : shownTexts) {
        const std::optional<QString> text = SafeMerge::safe_stringForKey(entry, key);
        if (text && text->size() > InstallationImageListApi::DisplayTextLimit)
            entry.insert(key, InstallationImageListApi::displayText(*text));
    }
    return MacOSModel::initWithDictionary(entry);
}

} // namespace

std::vector<MacOSModelPtr> InstallationImageListApi::entriesFromAnswer(const std::optional<QVariant> &answer)
{
    std::vector<QVariantMap> objects;
    const std::optional<QVariantMap> envelope = answer ? SafeValue::dictionary(*answer) : std::nullopt;
    if (const auto list =
            envelope ? SafeMerge::safe_arrayForKey(*envelope, QStringLiteral("data")) : std::nullopt) {
        objects.reserve(size_t(list->size()));
        // An element that is not an object describes no installer; leave it out.
        for (const QVariant &element : *list)
            if (std::optional<QVariantMap> entry = SafeValue::dictionary(element))
                objects.push_back(std::move(*entry));
    }
    // Measuring the descriptions is the costly part: a large catalog shares it among worker threads.
    return QtConcurrent::blockingMapped<std::vector<MacOSModelPtr>>(
        objects, [](const QVariantMap &entry) { return recordFor(entry); });
}
