#pragma once

#include "Platform/Net/HTTPHeaderFields.h"

#include <QByteArray>
#include <QList>
#include <QNetworkRequest>
#include <QPair>
#include <QString>
#include <QUrl>

namespace platform {

// One HTTP request as it is sent: URL, method, header fields, body, idle time-out and priority.
class URLRequest
{
public:
    URLRequest() = default;
    explicit URLRequest(const QUrl &url) : m_url(url) {}

    const QUrl &url() const { return m_url; }
    void setUrl(const QUrl &url) { m_url = url; }
    const QString &httpMethod() const { return m_method; }
    void setHttpMethod(const QString &method) { m_method = method; }
    const QByteArray &httpBody() const { return m_body; }
    void setHttpBody(const QByteArray &body) { m_body = body; }
    // Seconds the transfer may stay idle before it fails as timed out; 0 leaves it to the transfer's limits.
    double timeoutInterval() const { return m_timeout; }
    void setTimeoutInterval(double seconds) { m_timeout = seconds; }
    // Kept for callers that set it; every connection on this platform counts as allowed.
    bool allowsCellularAccess() const { return m_allowsCellularAccess; }
    void setAllowsCellularAccess(bool allowed) { m_allowsCellularAccess = allowed; }
    QNetworkRequest::Priority priority() const { return m_priority; }
    void setPriority(QNetworkRequest::Priority priority) { m_priority = priority; }

    // Header names compare without regard to case; the first spelling set is the one sent.
    QString valueForHTTPHeaderField(const QString &field) const;
    bool hasHTTPHeaderField(const QString &field) const;
    // Replaces any value under the field; a null value removes the field.
    void setValueForHTTPHeaderField(const QString &value, const QString &field);
    const QList<QPair<QString, QString>> &allHTTPHeaderFields() const { return m_headers.all(); }

private:
    QUrl m_url;
    QString m_method = QStringLiteral("GET");
    QByteArray m_body;
    double m_timeout = 0;
    bool m_allowsCellularAccess = true;
    QNetworkRequest::Priority m_priority = QNetworkRequest::NormalPriority;
    HTTPHeaderFields m_headers;
};

} // namespace platform
