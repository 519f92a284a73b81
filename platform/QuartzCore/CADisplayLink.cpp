#include "QuartzCore/CADisplayLink.h"

#include "QuartzCore/CAFrameClock.h"

std::shared_ptr<CADisplayLink> CADisplayLink::displayLinkWithCallback(Callback callback) {
    return std::make_shared<CADisplayLink>(std::move(callback));
}

void CADisplayLink::addToMainRunLoop() {
    if (!valid_ || added_) {
        return;
    }
    added_ = true;
    timestamp_ = previous_ = CACurrentMediaTime();
    CAFrameClock::shared().addDisplayLink(shared_from_this());
}

void CADisplayLink::invalidate() {
    valid_ = false;
    callback_ = nullptr;
    CAFrameClock::shared().removeDisplayLink(this);
}

void CADisplayLink::setPaused(bool paused) {
    paused_ = paused;
    if (!paused) {
        CAFrameClock::shared().setNeedsFrame();
    }
}

void CADisplayLink::fire(double time) {
    if (!valid_ || paused_) {
        return;
    }
    previous_ = timestamp_;
    timestamp_ = time;
    std::shared_ptr<CADisplayLink> keep = shared_from_this();
    if (callback_) {
        auto callback = callback_;
        callback(*this);
    }
}
