#pragma once

#include <memory>
#include <vector>

#include "UIKit/UIView.h"

class UIBarButtonItem;
class UIPopoverController;
class UIPopoverView;
class UIViewController;

enum UIPopoverArrowDirection : unsigned {
    UIPopoverArrowDirectionUp = 1 << 0,
    UIPopoverArrowDirectionDown = 1 << 1,
    UIPopoverArrowDirectionLeft = 1 << 2,
    UIPopoverArrowDirectionRight = 1 << 3,
    UIPopoverArrowDirectionAny = 0xF,
    UIPopoverArrowDirectionUnknown = 0xFFFFFFFF,
};

class UIPopoverControllerDelegate {
  public:
    virtual ~UIPopoverControllerDelegate() = default;
    // Asked when a tap outside would close the popover.
    virtual bool popoverControllerShouldDismissPopover(UIPopoverController&) { return true; }
    // After a tap outside closed it (not after dismissPopoverAnimated).
    virtual void popoverControllerDidDismissPopover(UIPopoverController&) {}
};

// A controller's view in a floating box with an arrow pointing at a rect
// or a bar button item, over the key window. A tap outside the box (except
// on a passthrough view) asks the delegate and closes it. The arrow takes
// the first permitted side with room for the content, in the order up
// (box below the anchor), down, left, right; the box keeps 10 points from
// the window's edges. While shown the popover keeps itself alive. Meant for
// the pad; on the phone callers present the content modally instead.
class UIPopoverController : public std::enable_shared_from_this<UIPopoverController> {
  public:
    explicit UIPopoverController(std::shared_ptr<UIViewController> contentViewController);
    ~UIPopoverController();

    const std::shared_ptr<UIViewController>& contentViewController() const { return content_; }
    void setContentViewController(std::shared_ptr<UIViewController> controller);
    // The size set here, else the content's size for a popover, else 320 x
    // 480 points.
    CGSize popoverContentSize() const;
    void setPopoverContentSize(CGSize size) { setPopoverContentSizeAnimated(size, false); }
    void setPopoverContentSizeAnimated(CGSize size, bool animated);
    std::shared_ptr<UIPopoverControllerDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<UIPopoverControllerDelegate> d) { delegate_ = std::move(d); }
    const std::vector<std::shared_ptr<UIView>>& passthroughViews() const { return passthrough_; }
    void setPassthroughViews(std::vector<std::shared_ptr<UIView>> views) {
        passthrough_ = std::move(views);
    }

    bool isPopoverVisible() const { return overlay_ != nullptr; }
    // Unknown while hidden.
    UIPopoverArrowDirection popoverArrowDirection() const { return direction_; }

    // rect in view's coordinates. Shown again when already visible.
    void presentPopoverFromRectInViewPermittedArrowDirectionsAnimated(
        const CGRect& rect, const std::shared_ptr<UIView>& view, unsigned directions,
        bool animated);
    // Points at the item's view on its bar; at the window's top centre when
    // the item is on no bar.
    void presentPopoverFromBarButtonItemPermittedArrowDirectionsAnimated(
        const std::shared_ptr<UIBarButtonItem>& item, unsigned directions, bool animated);
    // Tells the delegate nothing.
    void dismissPopoverAnimated(bool animated);

    // The box and where it stands in the window while shown (for tests and
    // for views that place themselves beside it).
    CGRect popoverFrame() const;

  private:
    friend class UIPopoverView;
    // A tap outside the box.
    void tapOutside();
    void place();

    std::shared_ptr<UIViewController> content_;
    CGSize contentSize_{};
    std::weak_ptr<UIPopoverControllerDelegate> delegate_;
    std::vector<std::shared_ptr<UIView>> passthrough_;
    std::shared_ptr<UIPopoverView> overlay_;
    std::shared_ptr<UIPopoverController> keepAlive_;
    UIPopoverArrowDirection direction_ = UIPopoverArrowDirectionUnknown;
    CGRect anchor_{};  // in window coordinates
    unsigned permitted_ = UIPopoverArrowDirectionAny;
};
