#include "QuartzCore/CALayer.h"

#include <algorithm>
#include <cmath>

#include "QuartzCore/CAFrameClock.h"
#include "QuartzCore/CATransaction.h"

namespace {

template <typename T>
const T* as(const CAValue& value) {
    return std::get_if<T>(&value);
}

CGFloat rotationOf(const CGAffineTransform& t) {
    return std::atan2(t.b, t.a);
}

CGFloat scaleOf(const CGAffineTransform& t) {
    return std::hypot(t.a, t.b);
}

// The transform with its rotation (or uniform scale) replaced, the
// translation kept.
CGAffineTransform withRotation(const CGAffineTransform& t, CGFloat angle) {
    const CGFloat sx = std::hypot(t.a, t.b), sy = std::hypot(t.c, t.d);
    CGAffineTransform r = CGAffineTransformMakeRotation(angle);
    r = CGAffineTransformScale(r, sx, sy);
    r.tx = t.tx;
    r.ty = t.ty;
    return r;
}

CGAffineTransform withScale(const CGAffineTransform& t, CGFloat scale) {
    CGAffineTransform r = CGAffineTransformMakeRotation(rotationOf(t));
    r = CGAffineTransformScale(r, scale, scale);
    r.tx = t.tx;
    r.ty = t.ty;
    return r;
}

}  // namespace

std::optional<CAValue> CALayer::valueForKeyPath(const std::string& key) const {
    const Properties& p = props_;
    if (key == "position")
        return p.position;
    if (key == "position.x")
        return p.position.x;
    if (key == "position.y")
        return p.position.y;
    if (key == "bounds")
        return p.bounds;
    if (key == "bounds.size")
        return p.bounds.size;
    if (key == "bounds.origin")
        return p.bounds.origin;
    if (key == "anchorPoint")
        return p.anchorPoint;
    if (key == "transform")
        return p.transform;
    if (key == "transform.rotation" || key == "transform.rotation.z")
        return rotationOf(p.transform);
    if (key == "transform.scale")
        return scaleOf(p.transform);
    if (key == "transform.translation")
        return CGSize{p.transform.tx, p.transform.ty};
    if (key == "opacity")
        return CGFloat(p.opacity);
    if (key == "backgroundColor") {
        return p.backgroundColor ? std::optional<CAValue>(*p.backgroundColor)
                                 : std::optional<CAValue>(CGColor{0, 0, 0, 0, nullptr});
    }
    if (key == "cornerRadius")
        return p.cornerRadius;
    if (key == "borderWidth")
        return p.borderWidth;
    if (key == "borderColor")
        return p.borderColor;
    if (key == "shadowColor")
        return p.shadowColor;
    if (key == "shadowOpacity")
        return CGFloat(p.shadowOpacity);
    if (key == "shadowOffset")
        return p.shadowOffset;
    if (key == "shadowRadius")
        return p.shadowRadius;
    return std::nullopt;
}

bool CALayer::setValueForKeyPath(const std::string& key, const CAValue& value) {
    Properties& p = props_;
    const CGFloat* number = as<CGFloat>(value);
    const CGPoint* point = as<CGPoint>(value);
    const CGSize* size = as<CGSize>(value);
    const CGColor* color = as<CGColor>(value);
    if (key == "position" && point) {
        p.position = *point;
    } else if (key == "position.x" && number) {
        p.position.x = *number;
    } else if (key == "position.y" && number) {
        p.position.y = *number;
    } else if (key == "bounds" && as<CGRect>(value)) {
        p.bounds = *as<CGRect>(value);
    } else if (key == "bounds.size" && size) {
        p.bounds.size = *size;
    } else if (key == "bounds.origin" && point) {
        p.bounds.origin = *point;
    } else if (key == "anchorPoint" && point) {
        p.anchorPoint = *point;
    } else if (key == "transform" && as<CGAffineTransform>(value)) {
        p.transform = *as<CGAffineTransform>(value);
    } else if ((key == "transform.rotation" || key == "transform.rotation.z") && number) {
        p.transform = withRotation(p.transform, *number);
    } else if (key == "transform.scale" && number) {
        p.transform = withScale(p.transform, *number);
    } else if (key == "transform.translation" && size) {
        p.transform.tx = size->width;
        p.transform.ty = size->height;
    } else if (key == "opacity" && number) {
        p.opacity = float(*number);
    } else if (key == "backgroundColor" && color) {
        p.backgroundColor = *color;
    } else if (key == "cornerRadius" && number) {
        p.cornerRadius = *number;
    } else if (key == "borderWidth" && number) {
        p.borderWidth = *number;
    } else if (key == "borderColor" && color) {
        p.borderColor = *color;
    } else if (key == "shadowColor" && color) {
        p.shadowColor = *color;
    } else if (key == "shadowOpacity" && number) {
        p.shadowOpacity = float(*number);
    } else if (key == "shadowOffset" && size) {
        p.shadowOffset = *size;
    } else if (key == "shadowRadius" && number) {
        p.shadowRadius = *number;
    } else {
        return false;
    }
    markChanged();
    return true;
}

std::optional<CAValue> CALayer::presentationValueForKeyPath(const std::string& key) const {
    std::optional<CAValue> value = valueForKeyPath(key);
    if (!value || animations_.empty()) {
        return value;
    }
    const double now = CACurrentMediaTime();
    const CAValue model = *value;
    for (const auto& [name, animation] : animations_) {
        auto* property = dynamic_cast<CAPropertyAnimation*>(animation.get());
        if (!property || property->keyPath() != key) {
            continue;
        }
        if (std::optional<CGFloat> t = animation->progressAt(now)) {
            value = property->valueAt(*t, property->isAdditive() ? *value : model);
        }
    }
    return value;
}

std::shared_ptr<CALayer> CALayer::presentationLayer() {
    if (animations_.empty()) {
        return shared_from_this();
    }
    std::shared_ptr<CALayer> copy = clone();
    copy->presentationCopy_ = true;
    const double now = CACurrentMediaTime();
    for (const auto& [name, animation] : animations_) {
        auto* property = dynamic_cast<CAPropertyAnimation*>(animation.get());
        if (!property) {
            continue;
        }
        std::optional<CAValue> model = copy->valueForKeyPath(property->keyPath());
        std::optional<CGFloat> t = animation->progressAt(now);
        if (model && t) {
            copy->setValueForKeyPath(property->keyPath(), property->valueAt(*t, *model));
        }
    }
    return copy;
}

std::shared_ptr<CAAnimation> CALayer::actionForKey(const std::string& key) {
    if (CATransaction::disableActions()) {
        return nullptr;
    }
    if (std::shared_ptr<CALayerDelegate> d = delegate()) {
        if (auto answer = d->actionForLayerForKey(*this, key)) {
            return *answer;
        }
    }
    if (!superlayer()) {
        return nullptr;  // layers outside a tree change at once
    }
    auto animation = CABasicAnimation::animationWithKeyPath(key);
    animation->setDuration(CATransaction::animationDuration());
    animation->setTimingFunction(CATransaction::animationTimingFunction());
    return animation;
}

void CALayer::didChangeValueForKey(const std::string& key, const std::optional<CAValue>& old) {
    markChanged();
    if (!old) {
        return;
    }
    std::shared_ptr<CAAnimation> action = actionForKey(key);
    if (!action) {
        return;
    }
    auto* basic = dynamic_cast<CABasicAnimation*>(action.get());
    if (basic && !basic->fromValue() && !basic->byValue()) {
        basic->setFromValue(old);
    }
    addAnimation(action, key);
}

void CALayer::addAnimation(const std::shared_ptr<CAAnimation>& animation, const std::string& key) {
    if (!animation) {
        return;
    }
    std::shared_ptr<CAAnimation> copy = animation->copy();
    if (copy->beginTime() == 0) {
        copy->setBeginTime(CACurrentMediaTime());
    }
    if (copy->duration() <= 0) {
        copy->setDuration(CATransaction::animationDuration());
    }
    CATransaction::registerAnimation(*copy);
    removeAnimationForKey(key);
    animations_.emplace_back(key, copy);
    copy->notifyStart();
    CAFrameClock::shared().addAnimatingLayer(shared_from_this());
}

std::shared_ptr<CAAnimation> CALayer::animationForKey(const std::string& key) const {
    for (const auto& [name, animation] : animations_) {
        if (name == key && !key.empty()) {
            return animation;
        }
    }
    return nullptr;
}

void CALayer::removeAnimationForKey(const std::string& key) {
    if (key.empty()) {
        return;
    }
    auto it = std::find_if(animations_.begin(), animations_.end(),
                           [&](const auto& entry) { return entry.first == key; });
    if (it == animations_.end()) {
        return;
    }
    std::shared_ptr<CAAnimation> removed = it->second;
    animations_.erase(it);
    markChanged();
    removed->notifyStop(false);
}

void CALayer::removeAllAnimations() {
    auto removed = std::move(animations_);
    animations_.clear();
    markChanged();
    for (auto& [name, animation] : removed) {
        animation->notifyStop(false);
    }
}

std::vector<std::string> CALayer::animationKeys() const {
    std::vector<std::string> keys;
    for (const auto& [name, animation] : animations_) {
        if (!name.empty()) {
            keys.push_back(name);
        }
    }
    return keys;
}

void CALayer::updateAnimations(double time) {
    std::vector<std::shared_ptr<CAAnimation>> finished;
    for (auto it = animations_.begin(); it != animations_.end();) {
        if (it->second->hasEndedAt(time)) {
            finished.push_back(it->second);
            if (it->second->isRemovedOnCompletion()) {
                it = animations_.erase(it);
                continue;
            }
        }
        ++it;
    }
    if (!finished.empty()) {
        markChanged();
    }
    std::shared_ptr<CALayer> keep = shared_from_this();
    for (auto& animation : finished) {
        animation->notifyStop(true);
    }
}
