#include "Common/CircularProgress/ViewHelpers.h"

#include "Common/CircularProgress/AnimationHelpers.h"
#include "Platform/Layers/Transaction.h"
#include "Platform/Runtime/Dispatch.h"

#include <QApplication>
#include <QWidget>

namespace ViewHelpers {

void fadeIn(QWidget *view, double duration, double delay, std::function<void()> completion)
{
    if (!view)
        return;
    view->setHidden(true);
    QPointer<QWidget> target(view);
    auto block = [target, duration, completion = std::move(completion)] {
        if (!target)
            return;
        platform::Transaction::begin();
        platform::Transaction::setAllowsImplicitAnimation(true);
        platform::Transaction::setAnimationDuration(duration);
        platform::Transaction::setAnimationTimingFunction(AnimationHelpers::defaultTiming());
        if (completion)
            platform::Transaction::setCompletionBlock(completion);
        target->setHidden(false);
        platform::Transaction::commit();
    };
    if (delay > 0)
        platform::Dispatch::mainAfter(delay, std::move(block));
    else
        platform::Dispatch::main(std::move(block));
}

bool isWindowBlocked(const QWidget *window)
{
    if (!window)
        return false;
    if (QApplication::activeModalWidget())
        return true;
    const QWidget *top = window->window();
    for (const QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget == top || !widget->isVisible() || widget->windowModality() != Qt::WindowModal)
            continue;
        for (const QWidget *owner = widget->parentWidget(); owner; owner = owner->parentWidget()) {
            if (owner->window() == top)
                return true;
        }
    }
    return false;
}

} // namespace ViewHelpers
