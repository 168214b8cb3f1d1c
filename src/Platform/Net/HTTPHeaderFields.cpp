#include "Platform/Net/HTTPHeaderFields.h"

namespace platform {

QString HTTPHeaderFields::value(const QString &field) const
{
    for (const auto &header : m_fields)
        if (header.first.compare(field, Qt::CaseInsensitive) == 0)
            return header.second;
    return {};
}

bool HTTPHeaderFields::contains(const QString &field) const
{
    for (const auto &header : m_fields)
        if (header.first.compare(field, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

void HTTPHeaderFields::setValue(const QString &value, const QString &field)
{
    for (auto it = m_fields.begin(); it != m_fields.end(); ++it) {
        if (it->first.compare(field, Qt::CaseInsensitive) != 0)
            continue;
        if (value.isNull())
            m_fields.erase(it);
        else
            it->second = value;
        return;
    }
    if (!value.isNull())
        m_fields.append({field, value});
}

} // namespace platform
