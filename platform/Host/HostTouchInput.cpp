#include "Host/HostTouchInput.h"

#include <algorithm>
#include <cmath>

#include "QuartzCore/CAFrameClock.h"
#include "UIKit/UIEvent.h"
#include "UIKit/UIPinchGestureRecognizer.h"
#include "UIKit/UIWindow.h"

namespace {

constexpr double kMultiTapInterval = 0.35;
constexpr CGFloat kMultiTapDistance = 40;
constexpr CGFloat kWheelPinchRadius = 60;
constexpr CGFloat kWheelPinchRadii[] = {kWheelPinchRadius, 40, 24, 12};
constexpr CGFloat kFingerSpacing = 30;

// The pinches a finger put down at `point` would reach.
std::vector<UIGestureRecognizer*> pinchesAt(UIWindow& window, CGPoint point) {
    std::vector<UIGestureRecognizer*> pinches;
    if (!CGRectContainsPoint(window.bounds(), point))
        return pinches;
    for (auto view = window.hitTest(point, nullptr); view; view = view->superview()) {
        for (const auto& recognizer : view->gestureRecognizers()) {
            if (dynamic_cast<UIPinchGestureRecognizer*>(recognizer.get()))
                pinches.push_back(recognizer.get());
        }
    }
    return pinches;
}

}  // namespace

CGPoint HostTouchInput::mirror(CGPoint point) const {
    const CGRect b = window_->bounds();
    return {2 * CGRectGetMidX(b) - point.x, 2 * CGRectGetMidY(b) - point.y};
}

std::vector<CGPoint> HostTouchInput::fingers(CGPoint point) const {
    if (threeFingers_)
        return {
            point, {point.x + kFingerSpacing, point.y}, {point.x + 2 * kFingerSpacing, point.y}};
    if (touches_.size() > 1)
        return {point, mirror(point)};
    return {point};
}

void HostTouchInput::send(UITouchPhase phase, const std::vector<CGPoint>& points) {
    const double now = CACurrentMediaTime();
    for (size_t i = 0; i < touches_.size() && i < points.size(); ++i) {
        touches_[i]->setPhase(phase);
        touches_[i]->setTimestamp(now);
        touches_[i]->setWindowLocation(points[i]);
    }
    UIEvent event(touches_, now);
    window_->sendEvent(event);
}

void HostTouchInput::mouseDown(CGPoint point, bool modifier, bool threeFingers) {
    if (!touches_.empty()) {
        return;
    }
    const double now = CACurrentMediaTime();
    if (lastTapTime_ >= 0 && now - lastTapTime_ <= kMultiTapInterval &&
        std::hypot(point.x - lastTapPoint_.x, point.y - lastTapPoint_.y) <= kMultiTapDistance) {
        ++tapCount_;
    } else {
        tapCount_ = 1;
    }
    lastTapPoint_ = point;
    lastPoint_ = point;
    threeFingers_ = threeFingers;
    std::vector<CGPoint> points{point};
    if (threeFingers) {
        points = fingers(point);
    } else if (modifier) {
        points.push_back(mirror(point));
    }
    for (size_t i = 0; i < points.size(); ++i) {
        auto touch = std::make_shared<UITouch>();
        touch->setTapCount(tapCount_);
        touches_.push_back(touch);
    }
    send(UITouchPhaseBegan, points);
}

void HostTouchInput::mouseMoved(CGPoint point) {
    if (touches_.empty()) {
        return;
    }
    lastPoint_ = point;
    send(UITouchPhaseMoved, fingers(point));
}

void HostTouchInput::mouseUp(CGPoint point) {
    if (touches_.empty()) {
        return;
    }
    send(UITouchPhaseEnded, fingers(point));
    touches_.clear();
    lastTapTime_ = CACurrentMediaTime();
}

HostTouchInput::WheelFingers HostTouchInput::wheelFingers(CGPoint point) const {
    const std::vector<UIGestureRecognizer*> wanted = pinchesAt(*window_, point);
    if (wanted.empty()) {
        return {point, {1, 0}, kWheelPinchRadius};
    }
    auto reaches = [&](CGPoint finger) {
        const auto reached = pinchesAt(*window_, finger);
        return std::any_of(wanted.begin(), wanted.end(), [&](UIGestureRecognizer* pinch) {
            return std::find(reached.begin(), reached.end(), pinch) != reached.end();
        });
    };
    constexpr CGFloat kDiagonal = 0.70710678118654752;
    const CGPoint directions[] = {{1, 0}, {0, 1}, {kDiagonal, kDiagonal}, {kDiagonal, -kDiagonal}};
    for (const CGFloat radius : kWheelPinchRadii) {
        for (const CGPoint d : directions) {
            if (reaches({point.x - radius * d.x, point.y - radius * d.y}) &&
                reaches({point.x + radius * d.x, point.y + radius * d.y})) {
                return {point, d, radius};
            }
        }
    }
    // Too close to the window's edge for both fingers: the pinch closest to
    // the pointer that fits.
    const CGFloat radius = kWheelPinchRadii[std::size(kWheelPinchRadii) - 1];
    const CGRect b = CGRectInset(window_->bounds(), radius + 1, radius + 1);
    if (CGRectIsEmpty(b)) {
        return {point, {1, 0}, radius};
    }
    return {{std::clamp(point.x, CGRectGetMinX(b), CGRectGetMaxX(b)),
             std::clamp(point.y, CGRectGetMinY(b), CGRectGetMaxY(b))},
            {1, 0},
            radius};
}

void HostTouchInput::wheel(CGPoint point, CGFloat steps) {
    if (!touches_.empty() || steps == 0) {
        return;
    }
    const CGFloat factor = std::pow(1.25, steps);
    const WheelFingers start = wheelFingers(point);
    auto around = [&](CGFloat r) {
        const CGPoint c = start.centre, d = start.direction;
        return std::vector<CGPoint>{{c.x - r * d.x, c.y - r * d.y}, {c.x + r * d.x, c.y + r * d.y}};
    };
    touches_ = {std::make_shared<UITouch>(), std::make_shared<UITouch>()};
    send(UITouchPhaseBegan, around(start.radius));
    // In a few moves, so the pinch's velocity looks like a hand's.
    for (int i = 1; i <= 4; ++i) {
        send(UITouchPhaseMoved, around(start.radius * std::pow(factor, i / 4.0)));
    }
    send(UITouchPhaseEnded, around(start.radius * factor));
    touches_.clear();
}
