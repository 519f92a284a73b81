#pragma once

#include <functional>
#include <memory>

#include "UIKit/UIPopoverController.h"

class UIBarButtonItem;
class UIView;
class UIViewController;

// How a controller presented in the popover style shows on the pad: in a
// popover whose arrow points at the bar button item, else at the source
// rect of the source view (the window's top centre without either). A tap
// outside the popover dismisses the controller. On the phone the
// presentation adapts to a full-screen one. The presented controller makes
// it (UIViewController::popoverPresentationController).
class UIPopoverPresentationController
    : public UIPopoverControllerDelegate,
      public std::enable_shared_from_this<UIPopoverPresentationController> {
  public:
    const std::shared_ptr<UIBarButtonItem>& barButtonItem() const { return barButtonItem_; }
    void setBarButtonItem(std::shared_ptr<UIBarButtonItem> item) {
        barButtonItem_ = std::move(item);
    }
    std::shared_ptr<UIView> sourceView() const { return sourceView_.lock(); }
    void setSourceView(std::weak_ptr<UIView> view) { sourceView_ = std::move(view); }
    // In the source view's coordinates.
    const CGRect& sourceRect() const { return sourceRect_; }
    void setSourceRect(const CGRect& rect) { sourceRect_ = rect; }
    unsigned permittedArrowDirections() const { return permitted_; }
    void setPermittedArrowDirections(unsigned directions) { permitted_ = directions; }
    // Unknown while not shown.
    UIPopoverArrowDirection arrowDirection() const;
    // The popover while the controller shows in it (tests).
    const std::shared_ptr<UIPopoverController>& popover() const { return popover_; }

    void popoverControllerDidDismissPopover(UIPopoverController&) override;

  private:
    friend class UIViewController;
    // Shows the presented controller; dismissedOutside runs once a tap
    // outside has closed the popover.
    void show(const std::shared_ptr<UIViewController>& presented, bool animated,
              std::function<void()> dismissedOutside);
    void hide(bool animated);
    bool isShowing() const { return popover_ != nullptr; }

    std::shared_ptr<UIBarButtonItem> barButtonItem_;
    std::weak_ptr<UIView> sourceView_;
    CGRect sourceRect_{};
    unsigned permitted_ = UIPopoverArrowDirectionAny;
    // Holds the presented controller while it shows.
    std::shared_ptr<UIPopoverController> popover_;
    std::function<void()> dismissedOutside_;
};
