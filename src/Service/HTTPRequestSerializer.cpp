#include "Service/HTTPRequestSerializer.h"

#include "Platform/Runtime/BundleInfo.h"
#include "Platform/Text/StringTransform.h"
#include "Platform/Values/Array.h"
#include "Platform/Values/Dictionary.h"
#include "Platform/Values/JSONSerialization.h"
#include "Platform/Values/Null.h"
#include "Platform/Values/Set.h"

#include <QLocale>
#include <QSysInfo>
#include <QUrl>
#include <algorithm>
#include <cstdio>

using namespace platform;

const QString HTTPRequestSerializer::ErrorDomain = QStringLiteral("app.bootdrive.request.serialization");

namespace {

struct QueryPair
{
    QString field;
    ObjectPtr value;
};

void collectPairs(const QString &field, const ObjectPtr &value, QList<QueryPair> &out)
{
    if (auto dictionary = as<Dictionary>(value)) {
        // The dictionary keeps its keys in ascending code-unit order, which is the order the pairs take.
        for (const auto &[key, nested] : dictionary->entries())
            collectPairs(field.isEmpty() ? key : QStringLiteral("%1[%2]").arg(field, key), nested, out);
    } else if (auto array = as<Array>(value)) {
        for (const ObjectPtr &item : array->items())
            collectPairs(field + QStringLiteral("[]"), item, out);
    } else if (auto set = as<Set>(value)) {
        std::vector<ObjectPtr> items = set->items();
        std::stable_sort(items.begin(), items.end(), [](const ObjectPtr &a, const ObjectPtr &b) {
            return a->description() < b->description();
        });
        for (const ObjectPtr &item : items)
            collectPairs(field, item, out);
    } else if (value) {
        out.append({field, value});
    }
}

bool methodTakesQuery(const QString &method)
{
    return method == QLatin1String("GET") || method == QLatin1String("HEAD") ||
           method == QLatin1String("DELETE");
}

} // namespace

std::optional<QNetworkRequest>
HTTPRequestSerializer::requestWithMethod(QNetworkRequest request, const QString &method,
                                         const QString &urlString, const ObjectPtr &parameters, BodyKind kind,
                                         QByteArray *body, Error *error)
{
    const QUrl url(urlString);
    if (urlString.isEmpty() || !url.isValid() || url.isRelative()) {
        *error = Error{ErrorDomain, -1002, QStringLiteral("unsupported URL: %1").arg(urlString)};
        return std::nullopt;
    }
    request.setUrl(url);
    body->clear();
    setDefaultHeaders(request);

    if (methodTakesQuery(method) || kind == BodyKind::Form) {
        const QString query = parameters ? queryStringFromParameters(parameters) : QString();
        if (methodTakesQuery(method)) {
            if (!query.isEmpty()) {
                QString text = url.toString(QUrl::FullyEncoded);
                text += (url.hasQuery() ? QLatin1Char('&') : QLatin1Char('?')) + query;
                request.setUrl(QUrl(text, QUrl::StrictMode));
            }
            return request;
        }
        if (!request.hasRawHeader("Content-Type"))
            request.setRawHeader("Content-Type", "application/x-www-form-urlencoded");
        *body = query.toUtf8();
        return request;
    }

    if (!request.hasRawHeader("Content-Type"))
        request.setRawHeader("Content-Type", "application/json");
    if (parameters) {
        bool ok = false;
        *body = JSONSerialization::isValidJSONObject(parameters)
                    ? JSONSerialization::write(parameters, false, &ok)
                    : QByteArray();
        if (!ok) {
            *error = Error{ErrorDomain, 3851, QStringLiteral("The parameters cannot be written as JSON.")};
            return std::nullopt;
        }
    }
    return request;
}

void HTTPRequestSerializer::setDefaultHeaders(QNetworkRequest &request)
{
    if (!request.hasRawHeader("Accept-Language")) {
        const QStringList languages = QLocale::system().uiLanguages();
        request.setRawHeader(
            "Accept-Language",
            acceptLanguageFromLanguages(languages.isEmpty() ? QStringList{"en"} : languages).toUtf8());
    }
    if (!request.hasRawHeader("User-Agent")) {
        const QString executable = BundleInfo::executable();
        const QString version = BundleInfo::shortVersion();
        request.setRawHeader("User-Agent",
                             userAgentFrom(executable.isEmpty() ? BundleInfo::identifier() : executable,
                                           version.isEmpty() ? BundleInfo::version() : version,
                                           QSysInfo::productVersion())
                                 .toUtf8());
    }
}

QString HTTPRequestSerializer::percentEscapedString(const QString &text)
{
    static const QByteArray keep = QByteArrayLiteral("-._~/?");
    // Encoding the whole text at once never splits a composed character or a surrogate pair.
    return QString::fromLatin1(text.toUtf8().toPercentEncoding(keep));
}

QString HTTPRequestSerializer::queryStringFromParameters(const ObjectPtr &parameters)
{
    QList<QueryPair> pairs;
    collectPairs(QString(), parameters, pairs);
    QStringList parts;
    for (const QueryPair &pair : pairs) {
        if (is<Null>(pair.value))
            parts << percentEscapedString(pair.field);
        else if (pair.field.isEmpty()) // a bare value given as the whole argument
            parts << percentEscapedString(pair.value->description());
        else
            parts << percentEscapedString(pair.field) + QLatin1Char('=') +
                         percentEscapedString(pair.value->description());
    }
    return parts.join(QLatin1Char('&'));
}

QString HTTPRequestSerializer::acceptLanguageFromLanguages(const QStringList &languages)
{
    QStringList parts;
    for (qsizetype i = 0; i < languages.size() && i < 6; ++i) {
        char weight[16];
        std::snprintf(weight, sizeof(weight), "%0.1g", 1.0 - 0.1 * static_cast<double>(i));
        parts << QStringLiteral("%1;q=%2").arg(languages.at(i), QString::fromLatin1(weight));
    }
    return parts.join(QStringLiteral(", "));
}

QString HTTPRequestSerializer::userAgentFrom(const QString &executable, const QString &version,
                                             const QString &osVersion)
{
    QString agent = QStringLiteral("%1/%2 (Mac OS X %3)").arg(executable, version, osVersion);
    const bool ascii = std::all_of(agent.cbegin(), agent.cend(), [](QChar c) { return c.unicode() < 0x80; });
    if (!ascii) {
        if (auto transformed =
                StringTransform::apply(agent, QStringLiteral("Any-Latin; Latin-ASCII; [:^ASCII:] Remove")))
            agent = *transformed;
    }
    return agent;
}
