#pragma once

#include "Platform/Values/Object.h"

#include <initializer_list>
#include <vector>

namespace platform {

// Ordered sequence of values, shared by reference.
class Array final : public Object
{
public:
    Array() = default;
    Array(std::initializer_list<ObjectPtr> items) : m_items(items) {}
    static std::shared_ptr<Array> make(std::initializer_list<ObjectPtr> items = {})
    {
        return std::make_shared<Array>(items);
    }

    size_t count() const { return m_items.size(); }
    bool isEmpty() const { return m_items.empty(); }
    const ObjectPtr &at(size_t index) const { return m_items.at(index); }
    void append(ObjectPtr item) { m_items.push_back(std::move(item)); }
    void removeAll() { m_items.clear(); }
    const std::vector<ObjectPtr> &items() const { return m_items; }
    // A new array holding the same element objects.
    std::shared_ptr<Array> copy() const;

    QString description() const override;
    bool isEqual(const Object &other) const override;

private:
    std::vector<ObjectPtr> m_items;
};

using ArrayPtr = std::shared_ptr<Array>;

} // namespace platform
