#include "Platform/Values/Set.h"

#include <QStringList>

namespace platform {

bool Set::contains(const ObjectPtr &item) const
{
    for (const auto &existing : m_items)
        if (platform::isEqual(existing, item))
            return true;
    return false;
}

void Set::insert(ObjectPtr item)
{
    if (item && !contains(item))
        m_items.push_back(std::move(item));
}

QString Set::description() const
{
    QStringList parts;
    for (const auto &item : m_items)
        parts << item->description();
    return QStringLiteral("{(") + parts.join(QStringLiteral(", ")) + QStringLiteral(")}");
}

bool Set::isEqual(const Object &other) const
{
    auto *s = dynamic_cast<const Set *>(&other);
    if (!s || s->m_items.size() != m_items.size())
        return false;
    for (const auto &item : m_items)
        if (!s->contains(item))
            return false;
    return true;
}

} // namespace platform
