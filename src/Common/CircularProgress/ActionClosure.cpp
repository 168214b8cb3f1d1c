#include "Common/CircularProgress/ActionClosure.h"

#include "Common/CircularProgress/AssociatedObject.h"
#include "Common/CircularProgress/CustomButton.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QPointer>

namespace {

const AssociatedObject<ActionClosure::Closure> &closureKey()
{
    static const AssociatedObject<ActionClosure::Closure> key;
    return key;
}

const char *const connectedProperty = "bootdrive.callClosureConnected";

} // namespace

ActionClosure::Closure ActionClosure::get(QWidget *control)
{
    return closureKey().get(control).value_or(Closure());
}

void ActionClosure::set(QWidget *control, Closure closure)
{
    if (!control)
        return;
    if (closure)
        closureKey().set(control, std::move(closure));
    else
        closureKey().set(control, std::nullopt);

    if (auto *button = qobject_cast<CustomButton *>(control)) {
        button->setTarget(button);
        button->setAction("callClosure");
        return;
    }
    // Other controls send their action through their signal; connect once, however often this is set.
    if (control->property(connectedProperty).toBool())
        return;
    control->setProperty(connectedProperty, true);
    QPointer<QWidget> guard(control);
    if (auto *button = qobject_cast<QAbstractButton *>(control)) {
        QObject::connect(button, &QAbstractButton::clicked, button, [guard] {
            if (guard)
                ActionClosure::call(guard, guard);
        });
    } else if (auto *popUp = qobject_cast<QComboBox *>(control)) {
        QObject::connect(popUp, &QComboBox::activated, popUp, [guard] {
            if (guard)
                ActionClosure::call(guard, guard);
        });
    }
}

void ActionClosure::call(QWidget *control, QObject *sender)
{
    // Sender and control are the same for a control that is its own target.
    auto *senderWidget = qobject_cast<QWidget *>(sender);
    if (Closure closure = get(control))
        closure(senderWidget ? senderWidget : control);
}
