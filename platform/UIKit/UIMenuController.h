#pragma once

#include <memory>

#include "CoreGraphics/CGGeometry.h"
#include "UIKit/UIKeyInput.h"

class UIView;

inline constexpr const char* UIMenuControllerWillShowMenuNotification =
    "UIMenuControllerWillShowMenuNotification";
inline constexpr const char* UIMenuControllerDidHideMenuNotification =
    "UIMenuControllerDidHideMenuNotification";

// The editing menu: a dark bubble above (or below) a target rectangle with
// one button per standard editing action the first responder can perform
// now (canPerformAction). A button performs its action on the first
// responder and hides the bubble; so does a touch anywhere else, and the
// target view leaving the screen (its screen closed). Main thread.
class UIMenuController {
  public:
    static std::shared_ptr<UIMenuController> sharedMenuController();

    // The rectangle the bubble points at, in view's coordinates.
    void setTargetRectInView(const CGRect& rect, const std::shared_ptr<UIView>& view);
    bool isMenuVisible() const { return bubble_ != nullptr; }
    // Showing with no action to offer shows nothing.
    void setMenuVisibleAnimated(bool visible, bool animated);
    // Rebuilds the buttons after the responder's abilities changed.
    void update();

    // Told by the window of each touch that begins, with the view it hit.
    void touchBeganOnView(const std::shared_ptr<UIView>& view);
    // Told by a view that leaves its window.
    void viewLeftWindow(const UIView& view);

    // The bubble while visible (tests).
    const std::shared_ptr<UIView>& menuView() const { return bubble_; }

  private:
    void show();
    void hide();
    void perform(UIEditAction action);

    CGRect targetRect_{};
    std::weak_ptr<UIView> targetView_;
    std::shared_ptr<UIView> bubble_;
};
