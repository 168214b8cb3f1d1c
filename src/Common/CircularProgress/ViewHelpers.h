#pragma once

#include <QPointer>
#include <functional>

class QWidget;

// View-level helpers of the progress view.
namespace ViewHelpers {

// Hides the view at once, then after the delay (on the main queue, so always after this call) shows it
// again inside a view animation group of the duration with the default timing function, which fades it in.
// The completion runs when the fade has ended.
void fadeIn(QWidget *view, double duration = 1.0, double delay = 0.0, std::function<void()> completion = {});

// True when the application shows a modal window, or failing that, the window has a sheet (a window-modal
// child window) open.
bool isWindowBlocked(const QWidget *window);

} // namespace ViewHelpers
