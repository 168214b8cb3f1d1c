#pragma once

#include "Platform/Values/Object.h"

#include <vector>

namespace platform {

// Unordered collection of distinct values (distinct by value equality).
class Set final : public Object
{
public:
    static std::shared_ptr<Set> make() { return std::make_shared<Set>(); }

    size_t count() const { return m_items.size(); }
    bool contains(const ObjectPtr &item) const;
    void insert(ObjectPtr item);
    const std::vector<ObjectPtr> &items() const { return m_items; }

    QString description() const override;
    bool isEqual(const Object &other) const override;

private:
    std::vector<ObjectPtr> m_items;
};

using SetPtr = std::shared_ptr<Set>;

} // namespace platform
