#pragma once

#include <QString>
#include <memory>

namespace platform {

// Root of the value graph used for decoded JSON, property lists and request arguments. Values are held by
// shared pointer so that a reader can hand back the very object stored in a container.
class Object : public std::enable_shared_from_this<Object>
{
public:
    virtual ~Object() = default;

    // The text the platform prints for the value ("<null>" for the null marker, digits for numbers, …).
    virtual QString description() const = 0;
    // Value equality for leaves and containers; identity unless a kind says otherwise.
    virtual bool isEqual(const Object &other) const { return this == &other; }

protected:
    Object() = default;
    Object(const Object &) = default;
    Object &operator=(const Object &) = default;
};

using ObjectPtr = std::shared_ptr<Object>;

// Kind test that also accepts specialisations (a decimal number is a number).
template <class T> std::shared_ptr<T> as(const ObjectPtr &object)
{
    return std::dynamic_pointer_cast<T>(object);
}

template <class T> bool is(const ObjectPtr &object)
{
    return dynamic_cast<const T *>(object.get()) != nullptr;
}

bool isEqual(const ObjectPtr &a, const ObjectPtr &b);

} // namespace platform
