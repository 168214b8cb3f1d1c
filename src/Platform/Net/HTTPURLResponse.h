#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QUrl>
#include <memory>

namespace platform {

// The head of an HTTP answer: status, header fields, and the media type and character set that its
// Content-Type declares.
class HTTPURLResponse
{
public:
    HTTPURLResponse(const QUrl &url, int statusCode, const QString &reasonPhrase,
                    const QList<QPair<QString, QString>> &headers);

    const QUrl &url() const { return m_url; }
    int statusCode() const { return m_statusCode; }
    // The reason phrase the server sent, else a generic text for the status class.
    QString localizedStatusText() const;
    const QList<QPair<QString, QString>> &allHeaderFields() const { return m_headers; }
    // Case-insensitive lookup; a null text when absent.
    QString valueForHTTPHeaderField(const QString &field) const;
    // Lower-case media type without parameters ("application/json"); empty when none is declared.
    const QString &mimeType() const { return m_mimeType; }
    // The charset parameter as sent ("utf-8"); empty when none is declared.
    const QString &textEncodingName() const { return m_textEncodingName; }

    // Splits a Content-Type value into its media type and charset parameter.
    static void parseContentType(const QString &value, QString *mimeType, QString *charset);

private:
    QUrl m_url;
    int m_statusCode;
    QString m_reasonPhrase;
    QList<QPair<QString, QString>> m_headers;
    QString m_mimeType;
    QString m_textEncodingName;
};

using HTTPURLResponsePtr = std::shared_ptr<HTTPURLResponse>;

} // namespace platform
