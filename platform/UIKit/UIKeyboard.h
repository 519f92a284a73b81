#pragma once

#include "CoreGraphics/CGGeometry.h"

// The keyboard's notifications: posted when a text input becomes the first
// responder while none was (show) and when the last one resigns (hide). The
// user info holds the keyboard's frame on screen before and after
// (UIKeyboardFrameBeginUserInfoKey, UIKeyboardFrameEndUserInfoKey, each
// {"x","y","width","height"}) and the animation's duration.
inline constexpr const char* UIKeyboardWillShowNotification = "UIKeyboardWillShowNotification";
inline constexpr const char* UIKeyboardDidShowNotification = "UIKeyboardDidShowNotification";
inline constexpr const char* UIKeyboardWillHideNotification = "UIKeyboardWillHideNotification";
inline constexpr const char* UIKeyboardDidHideNotification = "UIKeyboardDidHideNotification";
inline constexpr const char* UIKeyboardFrameBeginUserInfoKey = "UIKeyboardFrameBeginUserInfoKey";
inline constexpr const char* UIKeyboardFrameEndUserInfoKey = "UIKeyboardFrameEndUserInfoKey";
inline constexpr const char* UIKeyboardAnimationDurationUserInfoKey =
    "UIKeyboardAnimationDurationUserInfoKey";

// The height of the on-screen keyboard the host plays (0 on a desktop with a
// hardware keyboard: the notifications still come, with an empty frame at
// the screen's bottom edge).
void UIKeyboardSetVirtualHeight(CGFloat height);
CGFloat UIKeyboardVirtualHeight();
// Whether the keyboard is up, and its frame on screen (empty when hidden).
bool UIKeyboardIsVisible();
CGRect UIKeyboardFrame();

// Called by UIResponder after the first responder changed.
void UIKeyboardFirstResponderDidChange();

// While one lives, the keyboard does not hide (focus moving from one text
// input to another).
class UIKeyboardHold {
  public:
    UIKeyboardHold();
    ~UIKeyboardHold();
    UIKeyboardHold(const UIKeyboardHold&) = delete;
    UIKeyboardHold& operator=(const UIKeyboardHold&) = delete;
};
