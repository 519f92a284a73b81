#include "QuartzCore/CATransaction.h"

#include <optional>
#include <vector>

#include "Foundation/NSLog.h"
#include "QuartzCore/CAAnimation.h"
#include "QuartzCore/CAFrameClock.h"

namespace {

// The completion of one transaction: runs when the transaction is committed
// and its last animation has stopped.
struct Group {
    std::function<void()> completion;
    int pending = 0;
    bool committed = false;

    void finishIfDone() {
        if (!committed || pending > 0 || !completion) {
            return;
        }
        auto block = std::move(completion);
        completion = nullptr;
        block();
    }
};

struct Level {
    std::optional<bool> disableActions;
    std::optional<double> duration;
    std::shared_ptr<CAMediaTimingFunction> timing;
    std::shared_ptr<Group> group = std::make_shared<Group>();
};

std::vector<Level>& stack() {
    thread_local std::vector<Level> levels;
    return levels;
}

}  // namespace

void CATransaction::begin() {
    stack().emplace_back();
}

void CATransaction::commit() {
    auto& levels = stack();
    if (levels.empty()) {
        NSLogWithLevel(NSLogLevel::Error, "CATransaction: commit without begin");
        return;
    }
    std::shared_ptr<Group> group = levels.back().group;
    levels.pop_back();
    group->committed = true;
    if (group->completion) {
        CAFrameClock::shared().performAtNextTick([group] { group->finishIfDone(); });
    }
    CAFrameClock::shared().setNeedsFrame();
}

void CATransaction::flush() {
    CAFrameClock::shared().setNeedsFrame();
}

bool CATransaction::disableActions() {
    const auto& levels = stack();
    for (auto it = levels.rbegin(); it != levels.rend(); ++it) {
        if (it->disableActions) {
            return *it->disableActions;
        }
    }
    return false;
}

void CATransaction::setDisableActions(bool flag) {
    if (!stack().empty()) {
        stack().back().disableActions = flag;
    }
}

double CATransaction::animationDuration() {
    const auto& levels = stack();
    for (auto it = levels.rbegin(); it != levels.rend(); ++it) {
        if (it->duration) {
            return *it->duration;
        }
    }
    return 0.25;
}

void CATransaction::setAnimationDuration(double seconds) {
    if (!stack().empty()) {
        stack().back().duration = seconds;
    }
}

std::shared_ptr<CAMediaTimingFunction> CATransaction::animationTimingFunction() {
    const auto& levels = stack();
    for (auto it = levels.rbegin(); it != levels.rend(); ++it) {
        if (it->timing) {
            return it->timing;
        }
    }
    return nullptr;
}

void CATransaction::setAnimationTimingFunction(std::shared_ptr<CAMediaTimingFunction> function) {
    if (!stack().empty()) {
        stack().back().timing = std::move(function);
    }
}

void CATransaction::setCompletionBlock(std::function<void()> block) {
    if (stack().empty()) {
        // Outside a transaction the block runs with the next frame.
        CAFrameClock::shared().performAtNextTick(std::move(block));
        return;
    }
    stack().back().group->completion = std::move(block);
}

void CATransaction::registerAnimation(CAAnimation& animation) {
    for (Level& level : stack()) {
        std::shared_ptr<Group> group = level.group;
        ++group->pending;
        animation.addStopHandler([group](bool) {
            --group->pending;
            group->finishIfDone();
        });
    }
}
