#include "Platform/Net/HTTPURLResponse.h"

#include <QStringList>

namespace platform {

HTTPURLResponse::HTTPURLResponse(const QUrl &url, int statusCode, const QString &reasonPhrase,
                                 const QList<QPair<QString, QString>> &headers)
    : m_url(url), m_statusCode(statusCode), m_reasonPhrase(reasonPhrase), m_headers(headers)
{
    const QString contentType = valueForHTTPHeaderField(QStringLiteral("Content-Type"));
    if (!contentType.isNull())
        parseContentType(contentType, &m_mimeType, &m_textEncodingName);
}

QString HTTPURLResponse::valueForHTTPHeaderField(const QString &field) const
{
    for (const auto &header : m_headers)
        if (header.first.compare(field, Qt::CaseInsensitive) == 0)
            return header.second;
    return {};
}

QString HTTPURLResponse::localizedStatusText() const
{
    if (!m_reasonPhrase.trimmed().isEmpty())
        return m_reasonPhrase.trimmed().toLower();
    if (m_statusCode >= 100 && m_statusCode < 200)
        return QStringLiteral("informational");
    if (m_statusCode >= 200 && m_statusCode < 300)
        return QStringLiteral("success");
    if (m_statusCode >= 300 && m_statusCode < 400)
        return QStringLiteral("redirected");
    if (m_statusCode >= 400 && m_statusCode < 500)
        return QStringLiteral("client error");
    if (m_statusCode >= 500 && m_statusCode < 600)
        return QStringLiteral("server error");
    return QStringLiteral("unknown");
}

void HTTPURLResponse::parseContentType(const QString &value, QString *mimeType, QString *charset)
{
    const QStringList parts = value.split(QLatin1Char(';'));
    if (mimeType)
        *mimeType = parts.value(0).trimmed().toLower();
    if (!charset)
        return;
    charset->clear();
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const QString parameter = parts.at(i).trimmed();
        const qsizetype equals = parameter.indexOf(QLatin1Char('='));
        if (equals < 0 ||
            parameter.left(equals).trimmed().compare(QLatin1String("charset"), Qt::CaseInsensitive))
            continue;
        QString label = parameter.mid(equals + 1).trimmed();
        if (label.size() >= 2 && label.startsWith(QLatin1Char('"')) && label.endsWith(QLatin1Char('"')))
            label = label.mid(1, label.size() - 2);
        *charset = label;
        return;
    }
}

} // namespace platform
