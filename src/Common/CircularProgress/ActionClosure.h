#pragma once

#include <QObject>
#include <functional>

class QWidget;

// Lets any control carry its action as a closure. Setting one makes the control its own target with the
// action "callClosure" (a CustomButton), or connects the control's activation signal to it (other buttons
// and pop-ups).
class ActionClosure
{
public:
    using Closure = std::function<void(QWidget *control)>;

    static Closure get(QWidget *control);
    // An empty closure removes it; the control's target and action stay pointed at callClosure.
    static void set(QWidget *control, Closure closure);
    // What callClosure does: runs the closure attached to the control, if any, with the sender.
    static void call(QWidget *control, QObject *sender);
};
