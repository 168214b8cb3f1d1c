#pragma once

#include <QFont>
#include <functional>

class QWidget;

// View-level helpers of the progress view and the styled button.
namespace ViewHelpers {

// Hides the view at once, then after the delay (on the main queue, so always after this call) shows it and
// fades it in over the duration with the default timing curve. The completion runs when the fade has ended.
// A view that already carries a graphics effect (a shadow) is shown without the fade.
void fadeIn(QWidget *view, double duration = 1.0, double delay = 0.0, std::function<void()> completion = {});
// Drops a fade-in that has not begun yet, so a view hidden meanwhile stays hidden.
void cancelFadeIn(QWidget *view);

// True when the application shows a modal window, or failing that, the window has a sheet (a window-modal
// child window) open.
bool isWindowBlocked(const QWidget *window);

// The view's own hidden flag (hide(), setHidden(true)). A new child, which Qt reports hidden until its
// parent is shown, counts as not hidden, as a new view does on the platform.
bool isViewHidden(const QWidget *view);

// The opacity a view draws with: its own "alphaValue" and that of every view it lies in, multiplied, so a
// dimmed view dims what is inside it.
double opacity(const QWidget *view);

// The percentage label's face: a light sans serif that also covers CJK. Made once per process; its size is
// not used (the label's own size applies).
QFont labelFont();
// The system font at a size in points: the application's font, its CJK face first, as the interface is in
// Simplified Chinese (and that face also draws symbols such as "╳" square).
QFont systemFont(double pointSize);

} // namespace ViewHelpers
