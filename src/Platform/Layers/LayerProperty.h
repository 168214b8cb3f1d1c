#pragma once

#include <QHash>
#include <QString>
#include <QVariant>
#include <functional>
#include <initializer_list>
#include <type_traits>
#include <vector>

namespace platform {

class Layer;

// A property's name bound to its value type: typed code cannot store a value of the wrong kind under it,
// while animations and key-value access keep using the name.
template <class T> struct LayerKey
{
    const char *name;
};

enum class Animates
{
    No,
    Yes,
};

// How a value of type T travels as a QVariant: enumerations as their number, everything else as itself.
template <class T> QVariant layerValue(const T &value)
{
    if constexpr (std::is_enum_v<T>)
        return static_cast<int>(value);
    else
        return QVariant::fromValue(value);
}

template <class T> T layerValueFrom(const QVariant &value)
{
    if constexpr (std::is_enum_v<T>)
        return static_cast<T>(value.toInt());
    else
        return value.value<T>();
}

// One property of a layer class: its key, how to read and store it, and whether a change animates.
struct LayerProperty
{
    QString key;
    std::function<QVariant(const Layer &)> get;
    std::function<void(Layer &, const QVariant &)> set;
    // Member to member, for the copies made every frame an animation runs.
    std::function<void(const Layer &, Layer &)> copy;
    bool animatable = false;
};

// Binds a key to a data member of layer class L; one line per property in the class's table.
template <class L, class T> LayerProperty layerProperty(LayerKey<T> key, T L::*member, Animates animates)
{
    return LayerProperty{
        QString::fromLatin1(key.name),
        [member](const Layer &layer) { return layerValue(static_cast<const L &>(layer).*member); },
        [member](Layer &layer, const QVariant &value) {
            static_cast<L &>(layer).*member = layerValueFrom<T>(value);
        },
        [member](const Layer &from, Layer &to) {
            static_cast<L &>(to).*member = static_cast<const L &>(from).*member;
        },
        animates == Animates::Yes};
}

// The properties a layer class adds to its base's; look-ups fall back to the base's table.
class LayerPropertyTable
{
public:
    LayerPropertyTable(const LayerPropertyTable *base, std::initializer_list<LayerProperty> properties)
        : m_base(base), m_properties(properties)
    {
        for (const LayerProperty &property : m_properties)
            m_index.insert(property.key, &property - m_properties.data());
    }
    LayerPropertyTable(const LayerPropertyTable &) = delete;
    LayerPropertyTable &operator=(const LayerPropertyTable &) = delete;

    const LayerProperty *find(const QString &key) const
    {
        const auto it = m_index.constFind(key);
        if (it != m_index.cend())
            return &m_properties[static_cast<size_t>(*it)];
        return m_base ? m_base->find(key) : nullptr;
    }
    // Stores every property of this class and its bases from one layer in another.
    void copyAll(const Layer &from, Layer &to) const
    {
        if (m_base)
            m_base->copyAll(from, to);
        for (const LayerProperty &property : m_properties)
            property.copy(from, to);
    }

private:
    const LayerPropertyTable *m_base;
    std::vector<LayerProperty> m_properties;
    QHash<QString, qsizetype> m_index;
};

} // namespace platform
