#include "UIKit/UIKeyboard.h"

#include "Foundation/NSNotificationCenter.h"
#include "UIKit/UIResponder.h"
#include "UIKit/UIScreen.h"

namespace {

constexpr double kAnimationDuration = 0.25;

struct KeyboardState {
    CGFloat height = 0;
    bool visible = false;
    int holds = 0;
};

KeyboardState& state() {
    static KeyboardState keyboard;
    return keyboard;
}

CGRect frameFor(bool visible) {
    const CGRect screen = UIScreen::mainScreen()->bounds();
    const CGFloat height = state().height;
    const CGFloat top = CGRectGetMaxY(screen) - (visible ? height : 0);
    return CGRectMake(0, top, screen.size.width, height);
}

Value rectValue(const CGRect& r) {
    return Value(Value::Dictionary{{"x", Value(r.origin.x)},
                                   {"y", Value(r.origin.y)},
                                   {"width", Value(r.size.width)},
                                   {"height", Value(r.size.height)}});
}

void transition(bool show) {
    state().visible = show;
    Value::Dictionary info{{UIKeyboardFrameBeginUserInfoKey, rectValue(frameFor(!show))},
                           {UIKeyboardFrameEndUserInfoKey, rectValue(frameFor(show))},
                           {UIKeyboardAnimationDurationUserInfoKey, Value(kAnimationDuration)}};
    auto center = NSNotificationCenter::defaultCenter();
    center->postNotificationName(
        show ? UIKeyboardWillShowNotification : UIKeyboardWillHideNotification, nullptr, info);
    center->postNotificationName(
        show ? UIKeyboardDidShowNotification : UIKeyboardDidHideNotification, nullptr, info);
}

}  // namespace

void UIKeyboardSetVirtualHeight(CGFloat height) {
    state().height = height > 0 ? height : 0;
}

CGFloat UIKeyboardVirtualHeight() {
    return state().height;
}

bool UIKeyboardIsVisible() {
    return state().visible;
}

CGRect UIKeyboardFrame() {
    return state().visible ? frameFor(true) : CGRectZero;
}

void UIKeyboardFirstResponderDidChange() {
    auto responder = UIResponder::currentFirstResponder();
    const bool wants = responder && responder->isTextInput();
    if (wants && !state().visible) {
        transition(true);
    } else if (!wants && state().visible && state().holds == 0) {
        transition(false);
    }
}

UIKeyboardHold::UIKeyboardHold() {
    ++state().holds;
}

UIKeyboardHold::~UIKeyboardHold() {
    --state().holds;
}
