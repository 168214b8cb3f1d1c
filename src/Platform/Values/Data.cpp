#include "Platform/Values/Data.h"

namespace platform {

QString Data::description() const
{
    return QStringLiteral("{length = %1, bytes = 0x%2}")
        .arg(m_bytes.size())
        .arg(QString::fromLatin1(m_bytes.left(24).toHex()));
}

bool Data::isEqual(const Object &other) const
{
    auto *d = dynamic_cast<const Data *>(&other);
    return d && d->m_bytes == m_bytes;
}

} // namespace platform
