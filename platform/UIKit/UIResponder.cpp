#include "UIKit/UIResponder.h"

#include "UIKit/UIKeyboard.h"

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
    auto previous = firstResponder().lock();
    if (previous) {
        // Moving focus between text inputs keeps the keyboard up.
        UIKeyboardHold hold;
        if (!previous->resignFirstResponder()) {
            return false;
        }
    }
    firstResponder() = weak_from_this();
    UIKeyboardFirstResponderDidChange();
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
    UIKeyboardFirstResponderDidChange();
    return true;
}

bool UIResponder::isFirstResponder() const {
    return firstResponder().lock().get() == this;
}

std::shared_ptr<UIResponder> UIResponder::currentFirstResponder() {
    return firstResponder().lock();
}

bool UIResponder::keyPressed(UIKeyboardKey key, unsigned modifiers) {
    auto next = nextResponder();
    return next && next->keyPressed(key, modifiers);
}

bool UIResponder::canPerformAction(UIEditAction action, UIResponder* sender) const {
    auto next = nextResponder();
    return next && next->canPerformAction(action, sender);
}

void UIResponder::performEditAction(UIEditAction action, UIResponder* sender) {
    if (auto next = nextResponder()) {
        next->performEditAction(action, sender);
    }
}
