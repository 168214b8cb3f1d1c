#pragma once

#include <QObject>
#include <any>
#include <map>

// The values attached to one object, kept in a hidden child so they live exactly as long as the object.
class AssociationStore : public QObject
{
    Q_OBJECT

public:
    static AssociationStore *of(QObject *object, bool create);

    const std::any *value(const void *key) const;
    void setValue(const void *key, std::any value);
    void removeValue(const void *key);

private:
    explicit AssociationStore(QObject *owner);

    std::map<const void *, std::any> m_values;
};
