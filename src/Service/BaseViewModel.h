#pragma once

#include <QObject>
#include <QString>
#include <QVariant>
#include <cstdint>
#include <functional>

// Base of the view models that talk to the catalog service: reads the response envelope
// {"code", "message", "data"} and keeps its message. Owned by a QObject parent (or whoever made it);
// requests watch it with a QPointer, so one gone before its answer reads the answer as a failure.
class BaseViewModel : public QObject
{
    Q_OBJECT

public:
    using Callback = std::function<void(const QVariant &value)>;

    explicit BaseViewModel(QObject *parent = nullptr) : QObject(parent) {}

    // Whether the envelope reads as success (code 0, a missing code included); stores its message.
    bool requestSuccess(const QVariantMap &dictionary);
    // Hook for subclasses that send requests of their own; does nothing here.
    virtual void requestWithParameters(const QVariantMap &parameters, Callback success, Callback failure);

    // The last envelope's message; "服务器异常" when it had none.
    QString message() const;
    void setMessage(const QString &message) { m_message = message; }
    int64_t userId() const { return m_userId; }
    void setUserId(int64_t userId) { m_userId = userId; }

    // Spaces are ignored; the rest must be local@domain with at least one dot in the domain.
    static bool isValidEmail(const QString &email);

private:
    QString m_message;
    int64_t m_userId = 0;
};
