#include "Common/CircularProgress/ActionClosure.h"

#include "Common/CircularProgress/TargetActionControl.h"

#include <QAbstractButton>
#include <QComboBox>

ActionClosure::ActionClosure(QWidget *control) : QObject(control)
{
    // A target-action control reaches the closure through its target and action; others by their signal.
    if (qobject_cast<TargetActionControl *>(control))
        return;
    if (auto *button = qobject_cast<QAbstractButton *>(control))
        connect(button, &QAbstractButton::clicked, this, [control] { call(control, control); });
    else if (auto *popUp = qobject_cast<QComboBox *>(control))
        connect(popUp, &QComboBox::activated, this, [control] { call(control, control); });
}

ActionClosure *ActionClosure::of(QWidget *control)
{
    return control ? control->findChild<ActionClosure *>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

ActionClosure::Closure ActionClosure::get(QWidget *control)
{
    const ActionClosure *holder = of(control);
    return holder ? holder->m_closure : Closure();
}

void ActionClosure::set(QWidget *control, Closure closure)
{
    if (!control)
        return;
    ActionClosure *holder = of(control);
    (holder ? holder : new ActionClosure(control))->m_closure = std::move(closure);
    if (auto *targetAction = qobject_cast<TargetActionControl *>(control)) {
        targetAction->setTarget(control);
        targetAction->setAction("callClosure");
    }
}

void ActionClosure::call(QWidget *control, QObject *sender)
{
    // The sender is the control itself when the control is its own target.
    auto *senderWidget = qobject_cast<QWidget *>(sender);
    if (const Closure closure = get(control))
        closure(senderWidget ? senderWidget : control);
}
