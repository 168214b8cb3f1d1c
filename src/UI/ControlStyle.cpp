#include "UI/ControlStyle.h"

QString ControlStyle::styleSheet()
{
    // The ring is one pixel wider than the resting border, so each focused control gives up one pixel of
    // padding and its content stays where it was. A popup's list belongs to its pop-up, which shows the
    // focus; a header is no control of its own.
    return QStringLiteral(R"(
        QPushButton { border: 1px solid #c6d0dc; border-radius: 8px; background: #ffffff; padding: 6px 16px;
                      color: #1b2430; }
        QPushButton:hover { background: #f0f4fa; }
        QPushButton:pressed { background: #e2e9f3; }
        QPushButton:disabled { color: #9aa7b6; background: #f3f5f8; }
        QPushButton:focus { border: 2px solid %1; padding: 5px 15px; }
        QPushButton[destructive="true"] { background: %2; border-color: %2; color: #ffffff; }
        QPushButton[destructive="true"]:hover { background: #e24d4d; }
        QPushButton[destructive="true"]:pressed { background: #bf2f2f; }
        QPushButton[destructive="true"]:focus { border-color: %1; }
        QToolButton { border: 1px solid transparent; border-radius: 6px; background: transparent; padding: 2px; }
        QToolButton:hover { background: #f0f4fa; }
        QToolButton:focus { border: 2px solid %1; padding: 1px; }
        QComboBox { border: 1px solid #c6d0dc; border-radius: 6px; padding: 3px 10px; background: #ffffff; }
        QComboBox:disabled { color: #9aa7b6; background: #f3f5f8; }
        QComboBox:focus { border: 2px solid %1; padding: 2px 9px; }
        QLineEdit { border: 1px solid #c6d0dc; border-radius: 6px; padding: 3px 6px; background: #ffffff; }
        QLineEdit:focus { border: 2px solid %1; padding: 2px 5px; }
        QListView, QTreeView { border: 1px solid #c6d0dc; background: #ffffff; }
        QListView:focus, QTreeView:focus { border: 2px solid %1; }
        QComboBox QListView, QComboBox QListView:focus { border: 1px solid #c6d0dc; }
    )")
        .arg(focusRingColor().name(), destructiveColor().name());
}
