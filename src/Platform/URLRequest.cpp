#include "Platform/URLRequest.h"

namespace platform {

QString URLRequest::valueForHTTPHeaderField(const QString &field) const
{
    for (const auto &header : m_headers)
        if (header.first.compare(field, Qt::CaseInsensitive) == 0)
            return header.second;
    return {};
}

bool URLRequest::hasHTTPHeaderField(const QString &field) const
{
    for (const auto &header : m_headers)
        if (header.first.compare(field, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

void URLRequest::setValueForHTTPHeaderField(const QString &value, const QString &field)
{
    for (auto it = m_headers.begin(); it != m_headers.end(); ++it) {
        if (it->first.compare(field, Qt::CaseInsensitive) != 0)
            continue;
        if (value.isNull())
            m_headers.erase(it);
        else
            it->second = value;
        return;
    }
    if (!value.isNull())
        m_headers.append({field, value});
}

} // namespace platform
