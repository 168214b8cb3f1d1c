#pragma once

#include <QList>
#include <QPair>
#include <QString>

namespace platform {

// HTTP header fields in the order they were first set; names compare without regard to letter case.
class HTTPHeaderFields
{
public:
    QString value(const QString &field) const;
    bool contains(const QString &field) const;
    // Replaces the field's value, adds the field, or (with a null value) removes it.
    void setValue(const QString &value, const QString &field);
    const QList<QPair<QString, QString>> &all() const { return m_fields; }

private:
    QList<QPair<QString, QString>> m_fields;
};

} // namespace platform
