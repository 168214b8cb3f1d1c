#include "Platform/Layers/Transaction.h"

#include "Platform/Layers/TransactionGroup.h"

#include <QCoreApplication>
#include <QTimer>

namespace platform {

namespace {

struct Frame
{
    bool implicit = false;
    std::optional<double> duration;
    std::optional<std::optional<TimingFunction>> timing;
    std::optional<bool> disableActions;
    std::optional<bool> allowsImplicitAnimation;
    std::shared_ptr<TransactionGroup> group = std::make_shared<TransactionGroup>();
};

// Layers belong to the GUI thread; each thread still gets its own stack so a stray caller cannot corrupt it.
thread_local std::vector<Frame> t_frames;

void commitImplicitFrame()
{
    if (t_frames.empty() || !t_frames.front().implicit)
        return;
    auto group = t_frames.front().group;
    t_frames.erase(t_frames.begin());
    group->commit();
}

// A setter called outside begin/commit changes the implicit transaction, which ends with this pass of the
// event loop as the platform's does.
Frame &writableFrame()
{
    if (t_frames.empty()) {
        Frame frame;
        frame.implicit = true;
        t_frames.push_back(std::move(frame));
        if (QCoreApplication::instance())
            QTimer::singleShot(0, QCoreApplication::instance(), [] { commitImplicitFrame(); });
    }
    return t_frames.back();
}

template <class T> std::optional<T> lookup(std::optional<T> Frame::*member)
{
    for (auto it = t_frames.rbegin(); it != t_frames.rend(); ++it) {
        if ((*it).*member)
            return (*it).*member;
    }
    return std::nullopt;
}

} // namespace

void Transaction::begin()
{
    t_frames.push_back(Frame{});
}

void Transaction::commit()
{
    if (t_frames.empty() || t_frames.back().implicit)
        return;
    auto group = t_frames.back().group;
    t_frames.pop_back();
    group->commit();
}

int Transaction::depth()
{
    int count = 0;
    for (const Frame &frame : t_frames)
        count += frame.implicit ? 0 : 1;
    return count;
}

double Transaction::animationDuration()
{
    return lookup(&Frame::duration).value_or(defaultDuration);
}

void Transaction::setAnimationDuration(double seconds)
{
    writableFrame().duration = seconds;
}

std::optional<TimingFunction> Transaction::animationTimingFunction()
{
    return lookup(&Frame::timing).value_or(std::nullopt);
}

void Transaction::setAnimationTimingFunction(std::optional<TimingFunction> function)
{
    writableFrame().timing = function;
}

bool Transaction::disableActions()
{
    return lookup(&Frame::disableActions).value_or(false);
}

void Transaction::setDisableActions(bool disable)
{
    writableFrame().disableActions = disable;
}

bool Transaction::allowsImplicitAnimation()
{
    return lookup(&Frame::allowsImplicitAnimation).value_or(false);
}

void Transaction::setAllowsImplicitAnimation(bool allow)
{
    writableFrame().allowsImplicitAnimation = allow;
}

void Transaction::setCompletionBlock(std::function<void()> block)
{
    writableFrame().group->setCompletion(std::move(block));
}

std::vector<std::shared_ptr<TransactionGroup>> Transaction::openGroups()
{
    std::vector<std::shared_ptr<TransactionGroup>> groups;
    groups.reserve(t_frames.size());
    for (const Frame &frame : t_frames)
        groups.push_back(frame.group);
    return groups;
}

} // namespace platform
