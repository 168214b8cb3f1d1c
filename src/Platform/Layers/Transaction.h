#pragma once

#include "Platform/Layers/TimingFunction.h"

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace platform {

class TransactionGroup;

// Groups layer changes: the duration, timing function and whether implicit actions run for the changes
// made inside, and a block to run once every animation added inside has stopped. Transactions nest; an
// inner one inherits what it does not set. Changes made outside any transaction belong to an implicit one
// that ends with the current pass of the event loop. Main thread only.
class Transaction
{
public:
    static constexpr double defaultDuration = 0.25;

    static void begin();
    static void commit();
    // Explicit transactions open now.
    static int depth();

    static double animationDuration();
    static void setAnimationDuration(double seconds);
    static std::optional<TimingFunction> animationTimingFunction();
    static void setAnimationTimingFunction(std::optional<TimingFunction> function);
    static bool disableActions();
    static void setDisableActions(bool disable);
    // The view-level switch: a view's own backing layer animates its changes only while this is on.
    static bool allowsImplicitAnimation();
    static void setAllowsImplicitAnimation(bool allow);
    static void setCompletionBlock(std::function<void()> block);

    // The groups of every transaction open now, innermost last; an added animation joins them all.
    static std::vector<std::shared_ptr<TransactionGroup>> openGroups();
};

} // namespace platform
