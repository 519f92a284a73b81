#include "UIKit/UILongPressGestureRecognizer.h"

#include <cmath>

#include "Dispatch/NSTimer.h"

UILongPressGestureRecognizer::~UILongPressGestureRecognizer() {
    cancelTimer();
}

void UILongPressGestureRecognizer::cancelTimer() {
    if (timer_) {
        timer_->invalidate();
        timer_.reset();
    }
}

void UILongPressGestureRecognizer::touchesBegan(const UITouchSet&, UIEvent*) {
    if (activeTouches().size() > touchesRequired_) {
        cancelTimer();
        if (state() == UIGestureRecognizerStatePossible) {
            setState(UIGestureRecognizerStateFailed);
        }
        return;
    }
    if (activeTouches().size() < touchesRequired_) {
        return;
    }
    start_ = locationInView(nullptr);
    cancelTimer();
    std::weak_ptr<UIGestureRecognizer> weak = weak_from_this();
    timer_ =
        NSTimer::scheduledTimerWithTimeInterval(minimumPressDuration_, false, [weak](NSTimer&) {
            if (auto self = std::static_pointer_cast<UILongPressGestureRecognizer>(weak.lock())) {
                self->timer_.reset();
                if (self->state() == UIGestureRecognizerStatePossible) {
                    self->setState(UIGestureRecognizerStateBegan);
                }
            }
        });
}

void UILongPressGestureRecognizer::touchesMoved(const UITouchSet&, UIEvent*) {
    if (state() == UIGestureRecognizerStatePossible) {
        const CGPoint p = locationInView(nullptr);
        if (std::hypot(p.x - start_.x, p.y - start_.y) > allowableMovement_) {
            cancelTimer();
            setState(UIGestureRecognizerStateFailed);
        }
        return;
    }
    setState(UIGestureRecognizerStateChanged);
}

void UILongPressGestureRecognizer::touchesEnded(const UITouchSet&, UIEvent*) {
    cancelTimer();
    if (state() == UIGestureRecognizerStatePossible) {
        setState(UIGestureRecognizerStateFailed);
    } else {
        setState(UIGestureRecognizerStateEnded);
    }
}

void UILongPressGestureRecognizer::reset() {
    cancelTimer();
}
