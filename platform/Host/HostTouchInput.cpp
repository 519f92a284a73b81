#include "Host/HostTouchInput.h"

#include <algorithm>
#include <cmath>

#include "Host/HostWheelTarget.h"
#include "QuartzCore/CAFrameClock.h"
#include "UIKit/UIEvent.h"
#include "UIKit/UIScrollView.h"
#include "UIKit/UIWindow.h"

namespace {

constexpr double kMultiTapInterval = 0.35;
constexpr CGFloat kMultiTapDistance = 40;
constexpr CGFloat kWheelPinchRadius = 60;
constexpr CGFloat kWheelScrollStep = 48;
constexpr CGFloat kFingerSpacing = 30;

// Up or down within the offsets a drag comes to rest at, showing where.
void wheelScroll(UIScrollView& scroll, CGFloat steps) {
    const CGPoint min = scroll.minimumContentOffset(), max = scroll.maximumContentOffset();
    CGPoint offset = scroll.contentOffset();
    offset.y = std::clamp(offset.y - steps * kWheelScrollStep, min.y, max.y);
    if (offset != scroll.contentOffset()) {
        scroll.setContentOffsetAnimated(offset, false);
    }
    scroll.flashScrollIndicators();
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

void HostTouchInput::send(UITouchPhase phase, const std::vector<CGPoint>& points,
                          const std::shared_ptr<UIGestureRecognizer>& only) {
    const double now = CACurrentMediaTime();
    for (size_t i = 0; i < touches_.size() && i < points.size(); ++i) {
        touches_[i]->setPhase(phase);
        touches_[i]->setTimestamp(now);
        touches_[i]->setWindowLocation(points[i]);
    }
    UIEvent event(touches_, now);
    if (only) {
        window_->sendEventToGestureRecognizer(event, only);
    } else {
        window_->sendEvent(event);
    }
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

void HostTouchInput::wheel(CGPoint point, CGFloat steps) {
    if (!touches_.empty() || steps == 0) {
        return;
    }
    const HostWheelTarget target = HostWheelTargetAtPoint(*window_, point);
    if (target.pinch) {
        wheelPinch(point, steps, target.pinch);
    } else if (target.scrollView) {
        wheelScroll(*target.scrollView, steps);
    }
}

void HostTouchInput::wheelPinch(CGPoint point, CGFloat steps,
                                const std::shared_ptr<UIGestureRecognizer>& pinch) {
    const CGFloat factor = std::pow(1.25, steps);
    auto around = [&](CGFloat r) {
        return std::vector<CGPoint>{{point.x - r, point.y}, {point.x + r, point.y}};
    };
    touches_ = {std::make_shared<UITouch>(), std::make_shared<UITouch>()};
    send(UITouchPhaseBegan, around(kWheelPinchRadius), pinch);
    // In a few moves, so the pinch's velocity looks like a hand's.
    for (int i = 1; i <= 4; ++i) {
        send(UITouchPhaseMoved, around(kWheelPinchRadius * std::pow(factor, i / 4.0)), pinch);
    }
    send(UITouchPhaseEnded, around(kWheelPinchRadius * factor), pinch);
    touches_.clear();
}
