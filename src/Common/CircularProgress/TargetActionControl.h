#pragma once

#include <QByteArray>
#include <QObject>

// A control that, when clicked, calls the invokable named by its action on its target. What carries an
// action closure needs no more of a control than this.
class TargetActionControl
{
public:
    virtual ~TargetActionControl() = default;

    virtual QObject *target() const = 0;
    virtual void setTarget(QObject *target) = 0;
    virtual QByteArray action() const = 0;
    virtual void setAction(const QByteArray &action) = 0;
};

Q_DECLARE_INTERFACE(TargetActionControl, "app.bootdrive.TargetActionControl")
