#pragma once

#include "Platform/Values/Object.h"

#include <QStringList>
#include <initializer_list>
#include <map>
#include <utility>

namespace platform {

// Map from text keys to values, shared by reference. Keys iterate in ascending text order, which keeps
// written JSON and encoded forms deterministic.
class Dictionary final : public Object
{
public:
    using Entries = std::map<QString, ObjectPtr>;

    Dictionary() = default;
    Dictionary(std::initializer_list<std::pair<const QString, ObjectPtr>> entries) : m_entries(entries) {}
    static std::shared_ptr<Dictionary>
    make(std::initializer_list<std::pair<const QString, ObjectPtr>> entries = {})
    {
        return std::make_shared<Dictionary>(entries);
    }

    size_t count() const { return m_entries.size(); }
    bool isEmpty() const { return m_entries.empty(); }
    bool contains(const QString &key) const { return m_entries.count(key) != 0; }
    // The stored object, or an empty pointer when the key is absent.
    ObjectPtr value(const QString &key) const;
    void setValue(const QString &key, ObjectPtr value);
    void remove(const QString &key) { m_entries.erase(key); }
    void removeAll() { m_entries.clear(); }
    QStringList keys() const;
    const Entries &entries() const { return m_entries; }
    // A new dictionary holding the same value objects.
    std::shared_ptr<Dictionary> copy() const;

    QString description() const override;
    bool isEqual(const Object &other) const override;

private:
    Entries m_entries;
};

using DictionaryPtr = std::shared_ptr<Dictionary>;

} // namespace platform
