#include "UIKit/UIRotationGestureRecognizer.h"

#include <cmath>

CGFloat UIRotationGestureRecognizer::angle() const {
    const auto& t = activeTouches();
    const CGPoint a = t[0]->windowLocation(), b = t[1]->windowLocation();
    return std::atan2(b.y - a.y, b.x - a.x);
}

void UIRotationGestureRecognizer::setRotation(CGFloat rotation) {
    if (activeTouches().size() >= 2) {
        initialAngle_ = angle() - rotation;
    }
    rotation_ = rotation;
}

void UIRotationGestureRecognizer::touchesBegan(const UITouchSet& touches, UIEvent*) {
    if (activeTouches().size() == 2 && state() == UIGestureRecognizerStatePossible) {
        initialAngle_ = angle();
        lastTime_ = touches.front()->timestamp();
    } else if (activeTouches().size() > 2 && state() == UIGestureRecognizerStatePossible) {
        setState(UIGestureRecognizerStateFailed);
    }
}

void UIRotationGestureRecognizer::touchesMoved(const UITouchSet& touches, UIEvent*) {
    if (activeTouches().size() < 2) {
        return;
    }
    CGFloat r = angle() - initialAngle_;
    while (r > M_PI) {
        r -= 2 * M_PI;
    }
    while (r < -M_PI) {
        r += 2 * M_PI;
    }
    // Continue past half a turn without jumping.
    while (r - rotation_ > M_PI) {
        r -= 2 * M_PI;
    }
    while (r - rotation_ < -M_PI) {
        r += 2 * M_PI;
    }
    const double now = touches.front()->timestamp();
    if (now > lastTime_) {
        velocity_ = (r - rotation_) / (now - lastTime_);
    }
    lastTime_ = now;
    if (state() == UIGestureRecognizerStatePossible) {
        if (std::fabs(r) < 0.05) {
            return;
        }
        rotation_ = r;
        setState(UIGestureRecognizerStateBegan);
        return;
    }
    rotation_ = r;
    setState(UIGestureRecognizerStateChanged);
}

void UIRotationGestureRecognizer::touchesEnded(const UITouchSet&, UIEvent*) {
    if (state() == UIGestureRecognizerStatePossible) {
        setState(UIGestureRecognizerStateFailed);
    } else {
        setState(UIGestureRecognizerStateEnded);
    }
}

void UIRotationGestureRecognizer::reset() {
    rotation_ = 0;
    velocity_ = 0;
}
