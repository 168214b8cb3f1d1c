#pragma once

#include <QColor>
#include <QString>

// The look the system gives its standard controls in dialogs: push and tool buttons, pop-ups, text fields
// and lists drawn flat in the window's colours, and a focus ring — a 2 px border in the accent colour — on
// whichever of them has the keyboard focus. A push button whose "destructive" property is true is drawn
// red, for a choice that erases. Set on a dialog, it reaches every control inside it.
class ControlStyle
{
public:
    static QString styleSheet();
    // The ring's colour, the window's accent blue.
    static QColor focusRingColor() { return QColor(0x1f, 0x6b, 0xf0); }
    static QColor destructiveColor() { return QColor(0xd9, 0x3a, 0x3a); }
    // The property that marks a push button as destructive.
    static constexpr const char *DestructiveProperty = "destructive";
};
