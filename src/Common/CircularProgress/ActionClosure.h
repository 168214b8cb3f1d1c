#pragma once

#include <QObject>
#include <functional>

class QWidget;

// Lets any control carry its action as a closure, kept by a child object of the control and reached through
// the control's own signal: a TargetActionControl becomes its own target with the action "callClosure" (an
// invokable it must have), which its click sends; other buttons and pop-ups connect clicked or activated.
class ActionClosure : public QObject
{
    Q_OBJECT

public:
    using Closure = std::function<void(QWidget *control)>;

    static Closure get(QWidget *control);
    // An empty closure removes it; the control's target and action stay pointed at callClosure.
    static void set(QWidget *control, Closure closure);
    // What callClosure does: runs the control's closure, if any, with the sender.
    static void call(QWidget *control, QObject *sender);

private:
    explicit ActionClosure(QWidget *control);
    static ActionClosure *of(QWidget *control);

    Closure m_closure;
};
