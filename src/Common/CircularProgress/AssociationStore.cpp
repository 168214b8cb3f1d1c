#include "Common/CircularProgress/AssociationStore.h"

namespace {
const char *const storeName = "bootdrive.associations";
}

AssociationStore::AssociationStore(QObject *owner) : QObject(owner)
{
    setObjectName(QString::fromLatin1(storeName));
}

AssociationStore *AssociationStore::of(QObject *object, bool create)
{
    if (!object)
        return nullptr;
    auto *store =
        object->findChild<AssociationStore *>(QString::fromLatin1(storeName), Qt::FindDirectChildrenOnly);
    if (!store && create)
        store = new AssociationStore(object);
    return store;
}

const std::any *AssociationStore::value(const void *key) const
{
    const auto it = m_values.find(key);
    return it == m_values.end() ? nullptr : &it->second;
}

void AssociationStore::setValue(const void *key, std::any value)
{
    m_values[key] = std::move(value);
}

void AssociationStore::removeValue(const void *key)
{
    m_values.erase(key);
}
