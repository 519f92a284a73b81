#include "UIKit/UIResponder.h"

namespace {

std::weak_ptr<UIResponder>& firstResponder() {
    static std::weak_ptr<UIResponder> responder;
    return responder;
}

}  // namespace

void UIResponder::touchesBegan(const UITouchSet& touches, UIEvent* event) {
    if (auto next = nextResponder()) {
        next->touchesBegan(touches, event);
    }
}

void UIResponder::touchesMoved(const UITouchSet& touches, UIEvent* event) {
    if (auto next = nextResponder()) {
        next->touchesMoved(touches, event);
    }
}

void UIResponder::touchesEnded(const UITouchSet& touches, UIEvent* event) {
    if (auto next = nextResponder()) {
        next->touchesEnded(touches, event);
    }
}

void UIResponder::touchesCancelled(const UITouchSet& touches, UIEvent* event) {
    if (auto next = nextResponder()) {
        next->touchesCancelled(touches, event);
    }
}

bool UIResponder::becomeFirstResponder() {
    if (isFirstResponder()) {
        return true;
    }
    if (!canBecomeFirstResponder()) {
        return false;
    }
    if (auto current = firstResponder().lock()) {
        if (!current->resignFirstResponder()) {
            return false;
        }
    }
    firstResponder() = weak_from_this();
    return true;
}

bool UIResponder::resignFirstResponder() {
    if (!isFirstResponder()) {
        return true;
    }
    if (!canResignFirstResponder()) {
        return false;
    }
    firstResponder().reset();
    return true;
}

bool UIResponder::isFirstResponder() const {
    return firstResponder().lock().get() == this;
}

std::shared_ptr<UIResponder> UIResponder::currentFirstResponder() {
    return firstResponder().lock();
}
