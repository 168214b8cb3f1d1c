#include "Platform/Net/URLRequest.h"

namespace platform {

QString URLRequest::valueForHTTPHeaderField(const QString &field) const
{
    return m_headers.value(field);
}

bool URLRequest::hasHTTPHeaderField(const QString &field) const
{
    return m_headers.contains(field);
}

void URLRequest::setValueForHTTPHeaderField(const QString &value, const QString &field)
{
    m_headers.setValue(value, field);
}

} // namespace platform
