#include "UIKit/UITapGestureRecognizer.h"

#include <cmath>

#include "Dispatch/NSTimer.h"
#include "UIKit/UIView.h"

UITapGestureRecognizer::~UITapGestureRecognizer() {
    cancelTimer();
}

void UITapGestureRecognizer::cancelTimer() {
    if (timer_) {
        timer_->invalidate();
        timer_.reset();
    }
}

void UITapGestureRecognizer::fail() {
    cancelTimer();
    setState(UIGestureRecognizerStateFailed);
}

CGPoint UITapGestureRecognizer::locationInView(const std::shared_ptr<UIView>& view) const {
    if (!activeTouches().empty()) {
        return UIGestureRecognizer::locationInView(view);
    }
    return view ? view->convertPointFromView(location_, nullptr) : location_;
}

void UITapGestureRecognizer::touchesBegan(const UITouchSet& touches, UIEvent*) {
    cancelTimer();
    const CGPoint p = UIGestureRecognizer::locationInView(nullptr);
    if (touchesThisTap_ == 0) {
        if (taps_ == 0) {
            start_ = p;
        } else if (std::hypot(p.x - start_.x, p.y - start_.y) > 4 * kMovement) {
            fail();
            return;
        }
        lifted_ = 0;
    }
    touchesThisTap_ += touches.size();
    if (touchesThisTap_ > touchesRequired_) {
        fail();
    }
}

void UITapGestureRecognizer::touchesMoved(const UITouchSet& touches, UIEvent*) {
    for (const auto& touch : touches) {
        const CGPoint p = touch->windowLocation();
        if (std::hypot(p.x - start_.x, p.y - start_.y) > kMovement * (taps_ > 0 ? 4 : 1)) {
            fail();
            return;
        }
    }
}

void UITapGestureRecognizer::touchesEnded(const UITouchSet& touches, UIEvent*) {
    lifted_ += touches.size();
    if (lifted_ < touchesThisTap_) {
        return;  // wait for the other fingers
    }
    location_ = UIGestureRecognizer::locationInView(nullptr);
    if (touchesThisTap_ != touchesRequired_) {
        fail();
        return;
    }
    touchesThisTap_ = 0;
    ++taps_;
    if (taps_ >= tapsRequired_) {
        setState(UIGestureRecognizerStateRecognized);
        return;
    }
    std::weak_ptr<UIGestureRecognizer> weak = weak_from_this();
    timer_ = NSTimer::scheduledTimerWithTimeInterval(kTapInterval, false, [weak](NSTimer&) {
        if (auto self = std::static_pointer_cast<UITapGestureRecognizer>(weak.lock())) {
            self->timer_.reset();
            self->setState(UIGestureRecognizerStateFailed);
        }
    });
}

void UITapGestureRecognizer::reset() {
    cancelTimer();
    taps_ = 0;
    touchesThisTap_ = 0;
    lifted_ = 0;
}

bool UITapGestureRecognizer::isTracking() const {
    return state() == UIGestureRecognizerStatePossible && (!activeTouches().empty() || taps_ > 0);
}
