#pragma once

#include "Common/CircularProgress/AssociationStore.h"

#include <optional>

// A key under which a value of type T is attached to any object. The object keeps the value (a strong
// reference) until it is replaced or removed, or the object is destroyed.
template <class T> class AssociatedObject
{
public:
    AssociatedObject() = default;
    AssociatedObject(const AssociatedObject &) = delete;
    AssociatedObject &operator=(const AssociatedObject &) = delete;

    // Nothing when no value is attached or the attached value has another type.
    std::optional<T> get(QObject *object) const
    {
        const AssociationStore *store = AssociationStore::of(object, false);
        const std::any *value = store ? store->value(this) : nullptr;
        if (!value)
            return std::nullopt;
        if (const T *typed = std::any_cast<T>(value))
            return *typed;
        return std::nullopt;
    }

    // Nothing removes the value.
    void set(QObject *object, std::optional<T> value) const
    {
        if (!object)
            return;
        if (!value) {
            if (AssociationStore *store = AssociationStore::of(object, false))
                store->removeValue(this);
            return;
        }
        AssociationStore::of(object, true)->setValue(this, std::move(*value));
    }
};
