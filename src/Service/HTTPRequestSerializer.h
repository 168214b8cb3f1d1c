#pragma once

#include "Platform/Values/Error.h"

#include <QByteArray>
#include <QNetworkRequest>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>

// The wire format of a request: the query for GET, HEAD and DELETE, else a form or JSON body, the
// percent-encoding, and the default Accept-Language and User-Agent header fields.
class HTTPRequestSerializer
{
public:
    enum class BodyKind
    {
        Form,
        JSON
    };

    // The request (header fields and time-out already set) completed for the method, URL and parameters:
    // the query in the URL, or the body (with its Content-Type unless the request names one), and
    // Accept-Language and User-Agent unless the request sets them. Nothing, with the reason in error, when
    // the URL is not absolute or the parameters cannot be written as JSON.
    static std::optional<QNetworkRequest> requestWithMethod(QNetworkRequest request, const QString &method,
                                                            const QString &urlString,
                                                            const std::optional<QVariant> &parameters,
                                                            BodyKind kind, QByteArray *body,
                                                            platform::Error *error);

    // Accept-Language and User-Agent, unless the request sets them: Qt would fill in its own.
    static void setDefaultHeaders(QNetworkRequest &request);
    // Keeps letters, digits and "-._~/?"; everything else as %XX per UTF-8 byte.
    static QString percentEscapedString(const QString &text);
    // Sorted "field=value" pairs joined by "&"; nested dictionaries as field[key], arrays as field[], a set
    // of texts (QSet<QString>) as one pair per member in text order.
    static QString queryStringFromParameters(const QVariant &parameters);
    // "en-US;q=1, zh-Hans;q=0.9, …" for at most six languages; empty for none.
    static QString acceptLanguageFromLanguages(const QStringList &languages);
    // "<executable>/<version> (Mac OS X <os version>)", transliterated to ASCII when it is not.
    static QString userAgentFrom(const QString &executable, const QString &version, const QString &osVersion);

    static const QString ErrorDomain;
};
