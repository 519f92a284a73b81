#include <cmath>
#include <vector>

#include "QuartzCore/CAFrameClock.h"
#include "QuartzCore/CAMediaTimingFunction.h"
#include "UIKit/UIView.h"

namespace {

// The completion of one animation block: runs when every animation the block
// made has stopped; finished is false when any was cut short.
struct BlockGroup {
    std::function<void(bool)> completion;
    int pending = 0;
    bool finished = true;
    bool closed = false;

    void finishIfDone() {
        if (!closed || pending > 0 || !completion) {
            return;
        }
        auto block = std::move(completion);
        completion = nullptr;
        block(finished);
    }
};

struct BlockContext {
    double duration;
    double delay;
    unsigned options;
    std::shared_ptr<CAMediaTimingFunction> timing;
    std::shared_ptr<BlockGroup> group;
};

std::vector<BlockContext>& contexts() {
    thread_local std::vector<BlockContext> stack;
    return stack;
}

bool& animationsEnabled() {
    thread_local bool enabled = true;
    return enabled;
}

std::shared_ptr<CAMediaTimingFunction> curveOf(unsigned options) {
    switch ((options >> 16) & 3) {
        case 1:
            return CAMediaTimingFunction::functionWithName(kCAMediaTimingFunctionEaseIn);
        case 2:
            return CAMediaTimingFunction::functionWithName(kCAMediaTimingFunctionEaseOut);
        case 3:
            return CAMediaTimingFunction::functionWithName(kCAMediaTimingFunctionLinear);
        default:
            return CAMediaTimingFunction::functionWithName(kCAMediaTimingFunctionEaseInEaseOut);
    }
}

void runBlock(double duration, double delay, unsigned options,
              std::shared_ptr<CAMediaTimingFunction> timing,
              const std::function<void()>& animations, std::function<void(bool)> completion) {
    auto group = std::make_shared<BlockGroup>();
    group->completion = std::move(completion);
    if (duration > 0 && animationsEnabled()) {
        contexts().push_back({duration, delay, options, std::move(timing), group});
        if (animations) {
            animations();
        }
        contexts().pop_back();
    } else if (animations) {
        // A zero duration changes at once, as the phone does.
        animations();
    }
    group->closed = true;
    if (group->pending == 0 && group->completion) {
        CAFrameClock::shared().performAtNextTick([group] { group->finishIfDone(); });
    }
}

}  // namespace

void UIView::animateWithDurationAnimations(double duration, std::function<void()> animations) {
    runBlock(duration, 0, 0, curveOf(0), animations, nullptr);
}

void UIView::animateWithDurationAnimationsCompletion(double duration,
                                                     std::function<void()> animations,
                                                     std::function<void(bool)> completion) {
    runBlock(duration, 0, 0, curveOf(0), animations, std::move(completion));
}

void UIView::animateWithDurationDelayOptionsAnimationsCompletion(
    double duration, double delay, unsigned options, std::function<void()> animations,
    std::function<void(bool)> completion) {
    runBlock(duration, delay, options, curveOf(options), animations, std::move(completion));
}

void UIView::
    animateWithDurationDelayUsingSpringWithDampingInitialSpringVelocityOptionsAnimationsCompletion(
        double duration, double delay, CGFloat dampingRatio, CGFloat velocity, unsigned options,
        std::function<void()> animations, std::function<void(bool)> completion) {
    runBlock(duration, delay, options,
             CAMediaTimingFunction::springWithDamping(dampingRatio, velocity), animations,
             std::move(completion));
}

void UIView::setAnimationsEnabled(bool enabled) {
    animationsEnabled() = enabled;
}

bool UIView::areAnimationsEnabled() {
    return animationsEnabled();
}

void UIView::performWithoutAnimation(const std::function<void()>& actions) {
    const bool was = animationsEnabled();
    animationsEnabled() = false;
    if (actions) {
        actions();
    }
    animationsEnabled() = was;
}

bool UIView::isInAnimationBlock() {
    return !contexts().empty() && animationsEnabled();
}

std::optional<std::shared_ptr<CAAnimation>> UIView::actionForLayerForKey(CALayer&,
                                                                         const std::string& key) {
    if (!isInAnimationBlock()) {
        return std::shared_ptr<CAAnimation>();  // views change at once outside blocks
    }
    const BlockContext& context = contexts().back();
    auto animation = CABasicAnimation::animationWithKeyPath(key);
    animation->setDuration(context.duration);
    animation->setTimingFunction(context.timing);
    if (context.delay > 0) {
        animation->setBeginTime(CACurrentMediaTime() + context.delay);
        animation->setFillMode(CAFillMode::Backwards);
    }
    if (context.options & UIViewAnimationOptionRepeat) {
        animation->setRepeatCount(HUGE_VAL);
    }
    animation->setAutoreverses(context.options & UIViewAnimationOptionAutoreverse);
    std::shared_ptr<BlockGroup> group = context.group;
    ++group->pending;
    animation->addStopHandler([group](bool finished) {
        group->finished = group->finished && finished;
        --group->pending;
        group->finishIfDone();
    });
    return animation;
}
