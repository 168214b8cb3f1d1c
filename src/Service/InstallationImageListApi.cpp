#include "Service/InstallationImageListApi.h"

#include "Common/ForeignText.h"
#include "Common/SafeAccess.h"
#include "Common/SafeMerge.h"

#include <QHash>
#include <QtConcurrent/QtConcurrentMap>
#include <numeric>

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

// A description of megabytes would take seconds to measure and lay out; what is shown is cut first.
void cutShownTexts(QVariantMap &entry)
{
    static const QString shownTexts[] = {QStringLiteral("name"), QStringLiteral("version"),
                                         QStringLiteral("release_date"), QStringLiteral("info")};
    for (const QString &key : shownTexts) {
        const std::optional<QString> text = SafeMerge::safe_stringForKey(entry, key);
        if (text && text->size() > InstallationImageListApi::DisplayTextLimit)
            entry.insert(key, InstallationImageListApi::displayText(*text));
    }
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
    // Laying out a description is the costly part, and the entries of a large catalog share their
    // descriptions (the builds of one system): each distinct text is measured once. The work is shared among
    // worker threads.
    std::vector<size_t> indexes(objects.size());
    std::iota(indexes.begin(), indexes.end(), size_t(0));
    std::vector<QString> infos(objects.size());
    QtConcurrent::blockingMap(indexes, [&](size_t i) {
        cutShownTexts(objects[i]);
        infos[i] = SafeMerge::safe_stringForKey(objects[i], QStringLiteral("info")).value_or(QString());
    });
    QHash<QString, double> heights;
    for (const QString &text : infos)
        heights.insert(text, 0.0);
    const QList<QString> distinct = heights.keys();
    const QList<double> measured = QtConcurrent::blockingMapped(
        distinct, [](const QString &text) { return MacOSModel::textFieldHeightWithWidth(301, text); });
    for (qsizetype i = 0; i < distinct.size(); ++i)
        heights[distinct[i]] = measured[i];
    return QtConcurrent::blockingMapped<std::vector<MacOSModelPtr>>(indexes, [&](size_t i) {
        return MacOSModel::initWithDictionary(objects[i], heights.value(infos[i]));
    });
}
