#include "Platform/Values/Array.h"

#include <QStringList>

namespace platform {

std::shared_ptr<Array> Array::copy() const
{
    auto a = std::make_shared<Array>();
    a->m_items = m_items;
    return a;
}

QString Array::description() const
{
    QStringList parts;
    for (const auto &item : m_items)
        parts << (item ? item->description() : QStringLiteral("(null)"));
    return QStringLiteral("(") + parts.join(QStringLiteral(", ")) + QStringLiteral(")");
}

bool Array::isEqual(const Object &other) const
{
    auto *a = dynamic_cast<const Array *>(&other);
    if (!a || a->m_items.size() != m_items.size())
        return false;
    for (size_t i = 0; i < m_items.size(); ++i)
        if (!platform::isEqual(m_items[i], a->m_items[i]))
            return false;
    return true;
}

} // namespace platform
