#include "UIKit/UIPanGestureRecognizer.h"

#include <cmath>

#include "QuartzCore/CAFrameClock.h"
#include "UIKit/UIView.h"

CGPoint UIPanGestureRecognizer::centroid(size_t excluding) const {
    CGPoint sum{};
    size_t n = 0;
    for (size_t i = 0; i < activeTouches().size(); ++i) {
        const auto& touch = activeTouches()[i];
        if (i == excluding || touch->phase() == UITouchPhaseEnded ||
            touch->phase() == UITouchPhaseCancelled) {
            continue;
        }
        const CGPoint p = touch->windowLocation();
        sum.x += p.x;
        sum.y += p.y;
        ++n;
    }
    return n ? CGPoint{sum.x / CGFloat(n), sum.y / CGFloat(n)} : sum;
}

CGPoint UIPanGestureRecognizer::windowTranslation() const {
    const CGPoint c = centroid(size_t(-1));
    return {c.x - origin_.x, c.y - origin_.y};
}

void UIPanGestureRecognizer::rebase(size_t excluding) {
    // Keep the translation where it was while the centroid jumps.
    const CGPoint t = samples_.empty() ? CGPointZero : samples_.back().translation;
    const CGPoint c = centroid(excluding);
    origin_ = {c.x - t.x, c.y - t.y};
}

CGPoint UIPanGestureRecognizer::toView(CGPoint vector, const std::shared_ptr<UIView>& view) const {
    if (!view) {
        return vector;
    }
    const CGPoint a = view->convertPointFromView(CGPointZero, nullptr);
    const CGPoint b = view->convertPointFromView(vector, nullptr);
    return {b.x - a.x, b.y - a.y};
}

CGPoint UIPanGestureRecognizer::translationInView(const std::shared_ptr<UIView>& view) const {
    return toView(samples_.empty() ? CGPointZero : samples_.back().translation, view);
}

void UIPanGestureRecognizer::setTranslationInView(CGPoint translation,
                                                  const std::shared_ptr<UIView>& view) {
    // translation is in view's coordinates; store it in the window's.
    CGPoint t = translation;
    if (view) {
        const CGPoint a = view->convertPointToView(CGPointZero, nullptr);
        const CGPoint b = view->convertPointToView(translation, nullptr);
        t = {b.x - a.x, b.y - a.y};
    }
    const CGPoint c = centroid(size_t(-1));
    origin_ = {c.x - t.x, c.y - t.y};
    const double now = samples_.empty() ? CACurrentMediaTime() : samples_.back().time;
    samples_.clear();
    samples_.push_back({now, t});
}

CGPoint UIPanGestureRecognizer::velocityInView(const std::shared_ptr<UIView>& view) const {
    if (samples_.size() < 2) {
        return CGPointZero;
    }
    const Sample& last = samples_.back();
    const Sample* first = &samples_.front();
    for (const Sample& s : samples_) {
        if (last.time - s.time <= 0.1) {
            first = &s;
            break;
        }
    }
    if (first == &last) {
        first = &samples_[samples_.size() - 2];
    }
    const double dt = last.time - first->time;
    if (dt <= 0) {
        return CGPointZero;
    }
    return toView({(last.translation.x - first->translation.x) / dt,
                   (last.translation.y - first->translation.y) / dt},
                  view);
}

void UIPanGestureRecognizer::touchesBegan(const UITouchSet& touches, UIEvent*) {
    if (!tracking_) {
        tracking_ = true;
        origin_ = centroid(size_t(-1));
        samples_.clear();
        samples_.push_back({touches.front()->timestamp(), CGPointZero});
        return;
    }
    rebase(size_t(-1));
}

void UIPanGestureRecognizer::touchesMoved(const UITouchSet& touches, UIEvent*) {
    const size_t n = activeTouches().size();
    const CGPoint t = windowTranslation();
    samples_.push_back({touches.front()->timestamp(), t});
    while (samples_.size() > 2 && samples_.back().time - samples_.front().time > 0.2) {
        samples_.pop_front();
    }
    if (state() == UIGestureRecognizerStatePossible) {
        if (n < minimumTouches_ || n > maximumTouches_) {
            return;
        }
        if (std::hypot(t.x, t.y) >= kHysteresis) {
            setState(UIGestureRecognizerStateBegan);
        }
        return;
    }
    setState(UIGestureRecognizerStateChanged);
}

void UIPanGestureRecognizer::touchesEnded(const UITouchSet& touches, UIEvent*) {
    bool allLifted = true;
    for (const auto& touch : activeTouches()) {
        if (std::find(touches.begin(), touches.end(), touch) == touches.end()) {
            allLifted = false;
        }
    }
    if (!allLifted) {
        // Lifting some fingers: continue from the others' centroid.
        const CGPoint t = samples_.empty() ? CGPointZero : samples_.back().translation;
        CGPoint sum{};
        size_t n = 0;
        for (const auto& touch : activeTouches()) {
            if (std::find(touches.begin(), touches.end(), touch) == touches.end()) {
                sum.x += touch->windowLocation().x;
                sum.y += touch->windowLocation().y;
                ++n;
            }
        }
        origin_ = {sum.x / CGFloat(n) - t.x, sum.y / CGFloat(n) - t.y};
        return;
    }
    // The lift is the last sample: a finger held still before lifting has no velocity.
    CGPoint sum{};
    for (const auto& touch : activeTouches()) {
        sum.x += touch->windowLocation().x;
        sum.y += touch->windowLocation().y;
    }
    const CGFloat n = CGFloat(activeTouches().size());
    samples_.push_back(
        {touches.front()->timestamp(), {sum.x / n - origin_.x, sum.y / n - origin_.y}});
    if (state() == UIGestureRecognizerStatePossible) {
        setState(UIGestureRecognizerStateFailed);
    } else {
        setState(UIGestureRecognizerStateEnded);
    }
}

void UIPanGestureRecognizer::reset() {
    tracking_ = false;
    samples_.clear();
}
