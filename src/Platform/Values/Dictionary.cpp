#include "Platform/Values/Dictionary.h"

namespace platform {

ObjectPtr Dictionary::value(const QString &key) const
{
    auto it = m_entries.find(key);
    return it == m_entries.end() ? ObjectPtr() : it->second;
}

void Dictionary::setValue(const QString &key, ObjectPtr value)
{
    if (!value) {
        m_entries.erase(key);
        return;
    }
    m_entries[key] = std::move(value);
}

QStringList Dictionary::keys() const
{
    QStringList out;
    out.reserve(static_cast<qsizetype>(m_entries.size()));
    for (const auto &entry : m_entries)
        out << entry.first;
    return out;
}

std::shared_ptr<Dictionary> Dictionary::copy() const
{
    auto d = std::make_shared<Dictionary>();
    d->m_entries = m_entries;
    return d;
}

QString Dictionary::description() const
{
    QStringList parts;
    for (const auto &[key, value] : m_entries)
        parts << key + QStringLiteral(" = ") + (value ? value->description() : QStringLiteral("(null)"));
    return QStringLiteral("{") + parts.join(QStringLiteral("; ")) + QStringLiteral("}");
}

bool Dictionary::isEqual(const Object &other) const
{
    auto *d = dynamic_cast<const Dictionary *>(&other);
    if (!d || d->m_entries.size() != m_entries.size())
        return false;
    for (const auto &[key, value] : m_entries) {
        auto it = d->m_entries.find(key);
        if (it == d->m_entries.end() || !platform::isEqual(value, it->second))
            return false;
    }
    return true;
}

} // namespace platform
