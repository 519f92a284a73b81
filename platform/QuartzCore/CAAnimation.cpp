#include "QuartzCore/CAAnimation.h"

#include <algorithm>
#include <cmath>

double CAAnimation::activeDuration() const {
    const double d = duration_ > 0 ? duration_ : 0.25;
    const double repeats = repeatCount_ > 0 ? repeatCount_ : 1;
    return d * repeats * (autoreverses_ ? 2 : 1) / (speed_ > 0 ? speed_ : 1);
}

std::optional<CGFloat> CAAnimation::progressAt(double time) const {
    const double speed = speed_ > 0 ? speed_ : 1;
    const double local = (time - beginTime_) * speed;
    const double d = duration_ > 0 ? duration_ : 0.25;
    const double end = activeDuration() * speed;
    double t;
    if (local < 0) {
        if (fillMode_ != CAFillMode::Backwards && fillMode_ != CAFillMode::Both) {
            return std::nullopt;
        }
        t = 0;
    } else if (local >= end) {
        if (fillMode_ != CAFillMode::Forwards && fillMode_ != CAFillMode::Both &&
            removedOnCompletion_) {
            return std::nullopt;
        }
        // The state at the very end: reversed animations end where they began.
        t = autoreverses_ ? 0 : 1;
        const double repeats = repeatCount_ > 0 ? repeatCount_ : 1;
        if (!autoreverses_ && repeats != std::floor(repeats)) {
            t = repeats - std::floor(repeats);
        }
    } else {
        const double cycle = autoreverses_ ? 2 * d : d;
        double phase = std::fmod(local, cycle) / d;
        t = phase > 1 ? 2 - phase : phase;
    }
    return timing_ ? timing_->evaluate(t) : t;
}

bool CAAnimation::hasEndedAt(double time) const {
    return time >= beginTime_ + activeDuration();
}

void CAAnimation::notifyStart() {
    if (started_) {
        return;
    }
    started_ = true;
    if (delegate_) {
        delegate_->animationDidStart(*this);
    }
}

void CAAnimation::notifyStop(bool finished) {
    if (stopped_) {
        return;
    }
    stopped_ = true;
    if (delegate_) {
        delegate_->animationDidStopFinished(*this, finished);
    }
    auto handlers = std::move(stopHandlers_);
    stopHandlers_.clear();
    for (auto& handler : handlers) {
        handler(finished);
    }
}

std::shared_ptr<CABasicAnimation> CABasicAnimation::animationWithKeyPath(std::string keyPath) {
    return std::make_shared<CABasicAnimation>(std::move(keyPath));
}

std::shared_ptr<CAAnimation> CABasicAnimation::copy() const {
    return std::make_shared<CABasicAnimation>(*this);
}

CAValue CABasicAnimation::valueAt(CGFloat t, const CAValue& model) const {
    CAValue from = model, to = model;
    if (from_ && to_) {
        from = *from_;
        to = *to_;
    } else if (from_ && by_) {
        from = *from_;
        to = CAValueAdd(*from_, *by_);
    } else if (by_ && to_) {
        to = *to_;
        from = CAValueInterpolate(*to_, CAValueAdd(*to_, *by_), -1);  // to - by
    } else if (from_) {
        from = *from_;
    } else if (to_) {
        to = *to_;
    } else if (by_) {
        to = CAValueAdd(model, *by_);
    }
    CAValue value = CAValueInterpolate(from, to, t);
    return isAdditive() ? CAValueAdd(model, value) : value;
}

std::shared_ptr<CAKeyframeAnimation> CAKeyframeAnimation::animationWithKeyPath(
    std::string keyPath) {
    return std::make_shared<CAKeyframeAnimation>(std::move(keyPath));
}

std::shared_ptr<CAAnimation> CAKeyframeAnimation::copy() const {
    return std::make_shared<CAKeyframeAnimation>(*this);
}

CAValue CAKeyframeAnimation::pathPointAt(CGFloat t) const {
    // The path flattened to a polyline, walked by length.
    std::vector<CGPoint> points;
    CGPoint current{}, start{};
    for (const CGPath::Element& e : path_->elements()) {
        switch (e.type) {
            case CGPath::ElementType::MoveToPoint:
                current = start = e.points[0];
                points.push_back(current);
                break;
            case CGPath::ElementType::AddLineToPoint:
                current = e.points[0];
                points.push_back(current);
                break;
            case CGPath::ElementType::AddQuadCurveToPoint:
                for (int i = 1; i <= 16; ++i) {
                    const CGFloat s = i / 16.0, u = 1 - s;
                    points.push_back(
                        {u * u * current.x + 2 * u * s * e.points[0].x + s * s * e.points[1].x,
                         u * u * current.y + 2 * u * s * e.points[0].y + s * s * e.points[1].y});
                }
                current = e.points[1];
                break;
            case CGPath::ElementType::AddCurveToPoint:
                for (int i = 1; i <= 16; ++i) {
                    const CGFloat s = i / 16.0, u = 1 - s;
                    const CGFloat a = u * u * u, b = 3 * u * u * s, c = 3 * u * s * s,
                                  d = s * s * s;
                    points.push_back(
                        {a * current.x + b * e.points[0].x + c * e.points[1].x + d * e.points[2].x,
                         a * current.y + b * e.points[0].y + c * e.points[1].y +
                             d * e.points[2].y});
                }
                current = e.points[2];
                break;
            case CGPath::ElementType::CloseSubpath:
                current = start;
                points.push_back(current);
                break;
        }
    }
    if (points.empty()) {
        return CGPointZero;
    }
    CGFloat total = 0;
    for (size_t i = 1; i < points.size(); ++i) {
        total += std::hypot(points[i].x - points[i - 1].x, points[i].y - points[i - 1].y);
    }
    CGFloat remaining = std::clamp(t, 0.0, 1.0) * total;
    for (size_t i = 1; i < points.size(); ++i) {
        const CGFloat len =
            std::hypot(points[i].x - points[i - 1].x, points[i].y - points[i - 1].y);
        if (remaining <= len && len > 0) {
            const CGFloat f = remaining / len;
            return CGPoint{points[i - 1].x + (points[i].x - points[i - 1].x) * f,
                           points[i - 1].y + (points[i].y - points[i - 1].y) * f};
        }
        remaining -= len;
    }
    return points.back();
}

CAValue CAKeyframeAnimation::valueAt(CGFloat t, const CAValue& model) const {
    if (path_ && !path_->isEmpty()) {
        return pathPointAt(t);
    }
    if (values_.empty()) {
        return model;
    }
    const size_t n = values_.size();
    if (n == 1) {
        return values_[0];
    }
    std::vector<CGFloat> times = keyTimes_;
    if (times.size() != n) {
        times.resize(n);
        for (size_t i = 0; i < n; ++i) {
            times[i] = CGFloat(i) / CGFloat(n - 1);
        }
    }
    if (t <= times.front()) {
        return values_.front();
    }
    for (size_t i = 1; i < n; ++i) {
        if (t < times[i] || i == n - 1) {
            if (mode_ == CACalculationMode::Discrete) {
                return t >= times[i] ? values_[i] : values_[i - 1];
            }
            const CGFloat span = times[i] - times[i - 1];
            CGFloat local = span > 0 ? (t - times[i - 1]) / span : 1;
            local = std::clamp(local, 0.0, 1.0);
            if (i - 1 < timingFunctions_.size() && timingFunctions_[i - 1]) {
                local = timingFunctions_[i - 1]->evaluate(local);
            }
            CAValue value = CAValueInterpolate(values_[i - 1], values_[i], local);
            return isAdditive() ? CAValueAdd(model, value) : value;
        }
    }
    return values_.back();
}
