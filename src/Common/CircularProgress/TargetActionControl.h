#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>

// What a control is to the target-action mechanism: a target, held weakly, and the name of the action to
// call on it. A control class inherits it and declares it with Q_INTERFACES, so that whatever wires
// actions (the action closure) reaches it by qobject_cast without knowing the control's class.
class TargetActionControl
{
public:
    virtual ~TargetActionControl() = default;

    QObject *target() const { return m_target; }
    void setTarget(QObject *target) { m_target = target; }
    QByteArray action() const { return m_action; }
    void setAction(const QByteArray &action) { m_action = action; }

protected:
    // Calls the target's invokable named by the action, with the sender when it takes a QObject *, else
    // without arguments. Without a target, or without such an invokable, nothing is sent.
    void sendAction(QObject *sender) const;

private:
    QPointer<QObject> m_target;
    QByteArray m_action;
};

Q_DECLARE_INTERFACE(TargetActionControl, "app.bootdrive.TargetActionControl")
