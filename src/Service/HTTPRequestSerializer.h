#pragma once

#include "Platform/Net/HTTPHeaderFields.h"
#include "Platform/Net/URLRequest.h"
#include "Platform/Values/Error.h"
#include "Platform/Values/Object.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <optional>

// Builds the HTTP request for a method, URL and parameters: form or JSON body, query for GET/HEAD/DELETE,
// and the default Accept-Language and User-Agent header fields.
class HTTPRequestSerializer
{
public:
    enum class BodyKind
    {
        Form,
        JSON
    };

    explicit HTTPRequestSerializer(BodyKind kind = BodyKind::Form);

    double timeoutInterval() const { return m_timeoutInterval; }
    void setTimeoutInterval(double seconds) { m_timeoutInterval = seconds; }
    void setAllowsCellularAccess(bool allowed) { m_allowsCellularAccess = allowed; }
    void setAuthorizationHeaderFieldWithUsername(const QString &username, const QString &password);
    // A null value removes the field.
    void setValueForHTTPHeaderField(const QString &value, const QString &field);
    QString valueForHTTPHeaderField(const QString &field) const;

    // Nothing, with the reason in error, when the URL is not absolute or the parameters cannot be written.
    std::optional<platform::URLRequest> requestWithMethod(const QString &method, const QString &urlString,
                                                          const platform::ObjectPtr &parameters,
                                                          platform::Error *error) const;

    // Keeps letters, digits and "-._~/?"; everything else as %XX per UTF-8 byte.
    static QString percentEscapedString(const QString &text);
    // Sorted "field=value" pairs joined by "&"; nested dictionaries as field[key], arrays as field[].
    static QString queryStringFromParameters(const platform::ObjectPtr &parameters);
    // "en-US;q=1, zh-Hans;q=0.9, …" for at most six languages; empty for none.
    static QString acceptLanguageFromLanguages(const QStringList &languages);
    // "<executable>/<version> (Mac OS X <os version>)", transliterated to ASCII when it is not.
    static QString userAgentFrom(const QString &executable, const QString &version, const QString &osVersion);

    static const QString ErrorDomain;

private:
    BodyKind m_kind;
    double m_timeoutInterval = 60.0;
    bool m_allowsCellularAccess = true;
    platform::HTTPHeaderFields m_headers;
};
