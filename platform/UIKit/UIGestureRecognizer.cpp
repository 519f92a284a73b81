#include "UIKit/UIGestureRecognizer.h"

#include <algorithm>

#include "UIKit/UIControl.h"
#include "UIKit/UIView.h"

UIGestureRecognizer::UIGestureRecognizer(Action action) {
    if (action) {
        addTarget(std::move(action));
    }
}

UIGestureRecognizer::~UIGestureRecognizer() = default;

int UIGestureRecognizer::addTarget(Action action) {
    const int id = nextActionId_++;
    actions_.emplace_back(id, std::move(action));
    return id;
}

void UIGestureRecognizer::removeTarget(int id) {
    std::erase_if(actions_, [id](const auto& entry) { return entry.first == id; });
}

void UIGestureRecognizer::setEnabled(bool enabled) {
    if (enabled_ == enabled) {
        return;
    }
    enabled_ = enabled;
    if (!enabled) {
        if (state_ == UIGestureRecognizerStateBegan || state_ == UIGestureRecognizerStateChanged) {
            setState(UIGestureRecognizerStateCancelled);
        }
        touches_.clear();
        pending_.reset();
        reset();
    }
}

void UIGestureRecognizer::requireGestureRecognizerToFail(
    const std::shared_ptr<UIGestureRecognizer>& other) {
    if (!other || other.get() == this) {
        return;
    }
    required_.push_back(other);
    other->dependents_.push_back(weak_from_this());
}

CGPoint UIGestureRecognizer::locationInView(const std::shared_ptr<UIView>& view) const {
    if (touches_.empty()) {
        return CGPointZero;
    }
    CGPoint sum{};
    for (const auto& touch : touches_) {
        const CGPoint p = touch->locationInView(view);
        sum.x += p.x;
        sum.y += p.y;
    }
    return {sum.x / CGFloat(touches_.size()), sum.y / CGFloat(touches_.size())};
}

size_t UIGestureRecognizer::numberOfTouches() const {
    return touches_.size();
}

CGPoint UIGestureRecognizer::locationOfTouchInView(size_t index,
                                                   const std::shared_ptr<UIView>& view) const {
    return index < touches_.size() ? touches_[index]->locationInView(view) : CGPointZero;
}

void UIGestureRecognizer::addTouch(const UITouchRef& touch) {
    if (std::find(touches_.begin(), touches_.end(), touch) == touches_.end()) {
        touches_.push_back(touch);
    }
}

void UIGestureRecognizer::removeTouch(const UITouchRef& touch) {
    std::erase(touches_, touch);
}

bool UIGestureRecognizer::acceptsTouches() const {
    return enabled_ && !pending_ &&
           (state_ == UIGestureRecognizerStatePossible || state_ == UIGestureRecognizerStateBegan ||
            state_ == UIGestureRecognizerStateChanged);
}

void UIGestureRecognizer::touchesBegan(const UITouchSet&, UIEvent*) {}
void UIGestureRecognizer::touchesMoved(const UITouchSet&, UIEvent*) {}
void UIGestureRecognizer::touchesEnded(const UITouchSet&, UIEvent*) {}

void UIGestureRecognizer::touchesCancelled(const UITouchSet&, UIEvent*) {
    if (state_ == UIGestureRecognizerStateBegan || state_ == UIGestureRecognizerStateChanged) {
        setState(UIGestureRecognizerStateCancelled);
    } else if (state_ == UIGestureRecognizerStatePossible) {
        setState(UIGestureRecognizerStateFailed);
    }
}

void UIGestureRecognizer::reset() {}

bool UIGestureRecognizer::isTracking() const {
    return state_ == UIGestureRecognizerStatePossible && !touches_.empty();
}

void UIGestureRecognizer::resetIfFinished() {
    const bool final = state_ == UIGestureRecognizerStateEnded ||
                       state_ == UIGestureRecognizerStateCancelled ||
                       state_ == UIGestureRecognizerStateFailed;
    if (final && touches_.empty()) {
        state_ = UIGestureRecognizerStatePossible;
        pending_.reset();
        reset();
    }
}

void UIGestureRecognizer::ignoreTouch(const UITouchRef& touch) {
    removeTouch(touch);
    touch->removeGestureRecognizer(this);
}

bool UIGestureRecognizer::sharesTouchesWith(const UIGestureRecognizer& other) const {
    for (const auto& touch : touches_) {
        for (const auto& r : touch->gestureRecognizers()) {
            if (r.get() == &other) {
                return true;
            }
        }
    }
    for (const auto& touch : other.touches_) {
        if (std::find(touches_.begin(), touches_.end(), touch) != touches_.end()) {
            return true;
        }
    }
    return false;
}

bool UIGestureRecognizer::recognizesSimultaneouslyWith(UIGestureRecognizer& other) {
    if (auto d = delegate();
        d && d->gestureRecognizerShouldRecognizeSimultaneouslyWithGestureRecognizer(*this, other)) {
        return true;
    }
    if (auto d = other.delegate();
        d && d->gestureRecognizerShouldRecognizeSimultaneouslyWithGestureRecognizer(other, *this)) {
        return true;
    }
    return !canPreventGestureRecognizer(other) || !other.canBePreventedByGestureRecognizer(*this);
}

bool UIGestureRecognizer::mayBegin() {
    if (auto d = delegate(); d && !d->gestureRecognizerShouldBegin(*this)) {
        return false;
    }
    if (auto v = view(); v && !v->gestureRecognizerShouldBegin(*this)) {
        return false;
    }
    // A control under the finger may keep its default action for itself.
    for (const auto& touch : touches_) {
        auto hit = touch->view();
        if (hit && hit != view() && dynamic_cast<UIControl*>(hit.get()) &&
            !hit->gestureRecognizerShouldBegin(*this)) {
            return false;
        }
    }
    // A recogniser already under way on the same touches prevents this one.
    for (const auto& touch : touches_) {
        for (const auto& other : touch->gestureRecognizers()) {
            if (other.get() == this) {
                continue;
            }
            const auto s = other->state_;
            if ((s == UIGestureRecognizerStateBegan || s == UIGestureRecognizerStateChanged) &&
                !recognizesSimultaneouslyWith(*other)) {
                return false;
            }
        }
    }
    return true;
}

bool UIGestureRecognizer::waitsForRequiredFailures() const {
    for (const auto& weak : required_) {
        auto other = weak.lock();
        if (other && other->enabled_ && other->state_ != UIGestureRecognizerStateFailed &&
            (other->isTracking() || other->pending_)) {
            return true;
        }
    }
    return false;
}

void UIGestureRecognizer::setState(UIGestureRecognizerState state) {
    std::shared_ptr<UIGestureRecognizer> keep = shared_from_this();
    switch (state) {
        case UIGestureRecognizerStatePossible:
            state_ = state;
            pending_.reset();
            return;
        case UIGestureRecognizerStateBegan:
            begin(state);
            return;
        case UIGestureRecognizerStateEnded:
            if (state_ == UIGestureRecognizerStatePossible) {
                begin(state);  // a discrete gesture recognised in one step
                return;
            }
            [[fallthrough]];
        case UIGestureRecognizerStateChanged:
        case UIGestureRecognizerStateCancelled:
            if (state_ != UIGestureRecognizerStateBegan &&
                state_ != UIGestureRecognizerStateChanged) {
                return;
            }
            state_ = state;
            sendActions();
            return;
        case UIGestureRecognizerStateFailed:
            if (state_ != UIGestureRecognizerStatePossible) {
                return;
            }
            state_ = state;
            pending_.reset();
            didFail();
            return;
    }
}

void UIGestureRecognizer::begin(UIGestureRecognizerState state) {
    if (state_ != UIGestureRecognizerStatePossible) {
        return;
    }
    if (!mayBegin()) {
        state_ = UIGestureRecognizerStateFailed;
        pending_.reset();
        didFail();
        return;
    }
    if (waitsForRequiredFailures()) {
        pending_ = state;
        return;
    }
    pending_.reset();
    state_ = state;
    preventOthers();
    if (cancelsTouchesInView_) {
        cancelTouchesInView();
    }
    sendActions();
}

void UIGestureRecognizer::preventOthers() {
    std::vector<std::shared_ptr<UIGestureRecognizer>> others;
    for (const auto& touch : touches_) {
        for (const auto& other : touch->gestureRecognizers()) {
            if (other.get() != this &&
                std::find(others.begin(), others.end(), other) == others.end()) {
                others.push_back(other);
            }
        }
    }
    for (const auto& weak : dependents_) {
        if (auto other = weak.lock()) {
            // Those waiting for this one to fail fail instead.
            if (other->state_ == UIGestureRecognizerStatePossible) {
                other->state_ = UIGestureRecognizerStateFailed;
                other->pending_.reset();
                other->didFail();
            }
        }
    }
    for (const auto& other : others) {
        if (other->state_ == UIGestureRecognizerStatePossible &&
            !recognizesSimultaneouslyWith(*other)) {
            other->state_ = UIGestureRecognizerStateFailed;
            other->pending_.reset();
            other->didFail();
        }
    }
}

void UIGestureRecognizer::cancelTouchesInView() {
    for (const auto& touch : touches_) {
        if (!touch->deliversToView()) {
            continue;
        }
        touch->setDeliversToView(false);
        if (touch->viewTouchBegan()) {
            if (auto v = touch->view()) {
                v->touchesCancelled({touch}, nullptr);
            }
        }
    }
}

void UIGestureRecognizer::sendActions() {
    auto actions = actions_;
    for (auto& [id, action] : actions) {
        if (action) {
            action(*this);
        }
    }
}

void UIGestureRecognizer::didFail() {
    for (const auto& weak : dependents_) {
        if (auto other = weak.lock()) {
            other->requirementResolved();
        }
    }
    resetIfFinished();
}

void UIGestureRecognizer::requirementResolved() {
    if (!pending_ || waitsForRequiredFailures()) {
        return;
    }
    const UIGestureRecognizerState state = *pending_;
    pending_.reset();
    begin(state);
    resetIfFinished();
}
