#pragma once

#include <QFont>
#include <functional>

class QWidget;

// View-level helpers of the progress view and the styled button.
namespace ViewHelpers {

// Hides the view at once; after the delay, from the main queue (so always after this call), shows it and
// fades it in over the duration along the default curve, then runs the completion. A view that carries
// another graphics effect (a shadow) is shown without the fade.
void fadeIn(QWidget *view, double duration = 1.0, double delay = 0.0, std::function<void()> completion = {});
// Drops a fade-in that has not begun, so a view hidden meanwhile stays hidden.
void cancelFadeIn(QWidget *view);

// The opacity a view draws with: the "alphaValue" of the view and of every view it lies in, multiplied.
double opacity(const QWidget *view);

// The percentage label's light sans serif (its size is not used). Made once per process.
QFont labelFont();
// The system font at a size in points, its CJK face first: the interface is in Simplified Chinese, and that
// face also draws symbols such as "╳" square.
QFont systemFont(double pointSize);

} // namespace ViewHelpers
