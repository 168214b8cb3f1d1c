#include "Service/HTTPRequestSerializer.h"

#include "Common/JSONText.h"
#include "Common/SafeValue.h"
#include "Platform/Runtime/BundleInfo.h"
#include "Platform/Text/StringTransform.h"

#include <QLocale>
#include <QSet>
#include <QSysInfo>
#include <QUrl>
#include <algorithm>
#include <cstdio>

using namespace platform;

const QString HTTPRequestSerializer::ErrorDomain = QStringLiteral("app.bootdrive.request.serialization");

namespace {

using SafeValue::Kind;

struct QueryPair
{
    QString field;
    QVariant value;
};

void collectPairs(const QString &field, const QVariant &value, QList<QueryPair> &out)
{
    switch (SafeValue::kindOf(value)) {
    case Kind::Dictionary: {
        // The map keeps its keys in ascending code-unit order, which is the order the pairs take.
        const QVariantMap dictionary = value.toMap();
        for (auto it = dictionary.cbegin(); it != dictionary.cend(); ++it)
            collectPairs(field.isEmpty() ? it.key() : QStringLiteral("%1[%2]").arg(field, it.key()),
                         it.value(), out);
        return;
    }
    case Kind::Array:
        for (const QVariant &item : value.toList())
            collectPairs(field + QStringLiteral("[]"), item, out);
        return;
    case Kind::Absent:
        return;
    default:
        break;
    }
    if (value.metaType() == QMetaType::fromType<QSet<QString>>()) {
        QStringList items = value.value<QSet<QString>>().values();
        std::sort(items.begin(), items.end());
        for (const QString &item : items)
            out.append({field, item});
        return;
    }
    out.append({field, value});
}

QString leafText(const QVariant &value)
{
    return SafeValue::kindOf(value) == Kind::Number ? SafeValue::numberText(value) : value.toString();
}

bool methodTakesQuery(const QString &method)
{
    return method == QLatin1String("GET") || method == QLatin1String("HEAD") ||
           method == QLatin1String("DELETE");
}

} // namespace

std::optional<QNetworkRequest>
HTTPRequestSerializer::requestWithMethod(QNetworkRequest request, const QString &method,
                                         const QString &urlString, const std::optional<QVariant> &parameters,
                                         BodyKind kind, QByteArray *body, Error *error)
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
        const QString query = parameters ? queryStringFromParameters(*parameters) : QString();
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
        const std::optional<QByteArray> json =
            JSONText::isValidJSONObject(*parameters) ? JSONText::write(*parameters, false) : std::nullopt;
        if (!json) {
            *error = Error{ErrorDomain, 3851, QStringLiteral("The parameters cannot be written as JSON.")};
            return std::nullopt;
        }
        *body = *json;
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

QString HTTPRequestSerializer::queryStringFromParameters(const QVariant &parameters)
{
    QList<QueryPair> pairs;
    collectPairs(QString(), parameters, pairs);
    QStringList parts;
    for (const QueryPair &pair : pairs) {
        if (SafeValue::kindOf(pair.value) == Kind::Null)
            parts << percentEscapedString(pair.field);
        else if (pair.field.isEmpty()) // a bare value given as the whole argument
            parts << percentEscapedString(leafText(pair.value));
        else
            parts << percentEscapedString(pair.field) + QLatin1Char('=') +
                         percentEscapedString(leafText(pair.value));
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
