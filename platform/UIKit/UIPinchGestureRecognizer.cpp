#include "UIKit/UIPinchGestureRecognizer.h"

#include <cmath>

CGFloat UIPinchGestureRecognizer::distance() const {
    const auto& t = activeTouches();
    const CGPoint a = t[0]->windowLocation(), b = t[1]->windowLocation();
    return std::hypot(a.x - b.x, a.y - b.y);
}

void UIPinchGestureRecognizer::setScale(CGFloat scale) {
    // Later moves scale from here.
    if (activeTouches().size() >= 2 && scale > 0) {
        initialDistance_ = distance() / scale;
    }
    scale_ = scale;
}

void UIPinchGestureRecognizer::touchesBegan(const UITouchSet& touches, UIEvent*) {
    if (activeTouches().size() == 2 && state() == UIGestureRecognizerStatePossible) {
        initialDistance_ = distance();
        lastTime_ = touches.front()->timestamp();
    } else if (activeTouches().size() > 2 && state() == UIGestureRecognizerStatePossible) {
        setState(UIGestureRecognizerStateFailed);
    }
}

void UIPinchGestureRecognizer::touchesMoved(const UITouchSet& touches, UIEvent*) {
    if (activeTouches().size() < 2 || initialDistance_ <= 0) {
        return;
    }
    const CGFloat d = distance();
    const CGFloat scale = d / initialDistance_;
    const double now = touches.front()->timestamp();
    if (now > lastTime_) {
        velocity_ = (scale - scale_) / (now - lastTime_);
    }
    lastTime_ = now;
    if (state() == UIGestureRecognizerStatePossible) {
        if (std::fabs(d - initialDistance_) < 3) {
            return;
        }
        scale_ = scale;
        setState(UIGestureRecognizerStateBegan);
        return;
    }
    scale_ = scale;
    setState(UIGestureRecognizerStateChanged);
}

void UIPinchGestureRecognizer::touchesEnded(const UITouchSet&, UIEvent*) {
    if (state() == UIGestureRecognizerStatePossible) {
        setState(UIGestureRecognizerStateFailed);
    } else {
        setState(UIGestureRecognizerStateEnded);
    }
}

void UIPinchGestureRecognizer::reset() {
    scale_ = 1;
    velocity_ = 0;
    initialDistance_ = 0;
}
