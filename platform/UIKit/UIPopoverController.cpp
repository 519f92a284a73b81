#include "UIKit/UIPopoverController.h"

#include <algorithm>
#include <array>

#include "UIKit/UIApplication.h"
#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UIPopoverView.h"
#include "UIKit/UIViewController.h"
#include "UIKit/UIWindow.h"

namespace {

constexpr CGFloat kEdge = 10;
constexpr CGFloat kTopEdge = 20;  // below the status bar
constexpr CGSize kDefaultSize{320, 480};
constexpr double kFadeDuration = 0.2;

}  // namespace

UIPopoverController::UIPopoverController(std::shared_ptr<UIViewController> contentViewController)
    : content_(std::move(contentViewController)) {}

UIPopoverController::~UIPopoverController() = default;

void UIPopoverController::setContentViewController(std::shared_ptr<UIViewController> controller) {
    if (controller == content_) {
        return;
    }
    if (overlay_ && content_ && content_->isViewLoaded()) {
        content_->view()->removeFromSuperview();
    }
    content_ = std::move(controller);
    if (overlay_) {
        place();
    }
}

CGSize UIPopoverController::popoverContentSize() const {
    if (contentSize_.width > 0 && contentSize_.height > 0) {
        return contentSize_;
    }
    if (content_) {
        const CGSize preferred = content_->contentSizeForViewInPopover();
        if (preferred.width > 0 && preferred.height > 0) {
            return preferred;
        }
    }
    return kDefaultSize;
}

void UIPopoverController::setPopoverContentSizeAnimated(CGSize size, bool) {
    contentSize_ = size;
    if (overlay_) {
        place();
    }
}

CGRect UIPopoverController::popoverFrame() const {
    return overlay_ ? overlay_->boxFrame() : CGRectZero;
}

void UIPopoverController::presentPopoverFromRectInViewPermittedArrowDirectionsAnimated(
    const CGRect& rect, const std::shared_ptr<UIView>& view, unsigned directions, bool animated) {
    std::shared_ptr<UIWindow> window = view ? view->window() : nullptr;
    if (!window) {
        window = UIApplication::sharedApplication()->keyWindow();
    }
    if (!window || !content_) {
        return;
    }
    anchor_ = view && view->window() ? view->convertRectToView(rect, nullptr) : rect;
    permitted_ = directions & UIPopoverArrowDirectionAny ? directions : UIPopoverArrowDirectionAny;
    const bool appearing = !overlay_;
    if (appearing) {
        overlay_ = std::make_shared<UIPopoverView>(window->bounds(), weak_from_this());
        keepAlive_ = shared_from_this();
        content_->viewWillAppear(animated);
    }
    place();
    if (appearing) {
        window->addSubview(overlay_);
        std::shared_ptr<UIViewController> content = content_;
        if (animated) {
            overlay_->setAlpha(0);
            std::shared_ptr<UIView> overlay = overlay_;
            UIView::animateWithDurationAnimationsCompletion(
                kFadeDuration, [overlay] { overlay->setAlpha(1); },
                [content, animated](bool) { content->viewDidAppear(animated); });
        } else {
            content->viewDidAppear(false);
        }
    }
}

void UIPopoverController::presentPopoverFromBarButtonItemPermittedArrowDirectionsAnimated(
    const std::shared_ptr<UIBarButtonItem>& item, unsigned directions, bool animated) {
    std::shared_ptr<UIView> view = item ? item->view() : nullptr;
    if (view && view->window()) {
        presentPopoverFromRectInViewPermittedArrowDirectionsAnimated(view->bounds(), view,
                                                                     directions, animated);
        return;
    }
    std::shared_ptr<UIWindow> window = UIApplication::sharedApplication()->keyWindow();
    if (window) {
        const CGRect b = window->bounds();
        presentPopoverFromRectInViewPermittedArrowDirectionsAnimated(
            {{CGRectGetMidX(b), kTopEdge}, {0, 0}}, nullptr, directions, animated);
    }
}

void UIPopoverController::place() {
    const CGRect bounds = overlay_->bounds();
    const CGSize wanted = popoverContentSize();
    const CGFloat a = UIPopoverView::kArrowHeight;
    const CGRect area{{kEdge, kTopEdge},
                      {bounds.size.width - 2 * kEdge, bounds.size.height - kTopEdge - kEdge}};
    // The room on each side of the anchor, in the order sides are tried.
    struct Side {
        UIPopoverArrowDirection direction;
        CGFloat room;
        bool vertical;
    };
    const std::array<Side, 4> sides{{
        {UIPopoverArrowDirectionUp, CGRectGetMaxY(area) - CGRectGetMaxY(anchor_) - a, true},
        {UIPopoverArrowDirectionDown, anchor_.origin.y - area.origin.y - a, true},
        {UIPopoverArrowDirectionLeft, CGRectGetMaxX(area) - CGRectGetMaxX(anchor_) - a, false},
        {UIPopoverArrowDirectionRight, anchor_.origin.x - area.origin.x - a, false},
    }};
    const Side* chosen = nullptr;
    const Side* roomiest = nullptr;
    for (const Side& side : sides) {
        if (!(permitted_ & side.direction)) {
            continue;
        }
        const CGFloat needed = side.vertical ? wanted.height : wanted.width;
        if (!chosen && side.room >= needed) {
            chosen = &side;
        }
        if (!roomiest || side.room > roomiest->room) {
            roomiest = &side;
        }
    }
    if (!chosen) {
        chosen = roomiest;
    }
    CGSize size = wanted;
    const CGFloat room = std::max<CGFloat>(0, chosen->room);
    if (chosen->vertical) {
        size.height = std::min(size.height, room);
        size.width = std::min(size.width, area.size.width);
    } else {
        size.width = std::min(size.width, room);
        size.height = std::min(size.height, area.size.height);
    }
    CGRect box{CGPointZero, size};
    CGPoint tip{};
    switch (chosen->direction) {
        case UIPopoverArrowDirectionUp:
            tip = {CGRectGetMidX(anchor_), CGRectGetMaxY(anchor_)};
            box.origin.y = tip.y + a;
            break;
        case UIPopoverArrowDirectionDown:
            tip = {CGRectGetMidX(anchor_), anchor_.origin.y};
            box.origin.y = tip.y - a - size.height;
            break;
        case UIPopoverArrowDirectionLeft:
            tip = {CGRectGetMaxX(anchor_), CGRectGetMidY(anchor_)};
            box.origin.x = tip.x + a;
            break;
        default:
            tip = {anchor_.origin.x, CGRectGetMidY(anchor_)};
            box.origin.x = tip.x - a - size.width;
            break;
    }
    if (chosen->vertical) {
        box.origin.x = std::clamp(tip.x - size.width / 2, area.origin.x,
                                  std::max(area.origin.x, CGRectGetMaxX(area) - size.width));
    } else {
        box.origin.y = std::clamp(tip.y - size.height / 2, area.origin.y,
                                  std::max(area.origin.y, CGRectGetMaxY(area) - size.height));
    }
    direction_ = chosen->direction;
    overlay_->placeBox(box, direction_, tip, content_ ? content_->view() : nullptr);
}

void UIPopoverController::dismissPopoverAnimated(bool animated) {
    if (!overlay_) {
        return;
    }
    std::shared_ptr<UIPopoverController> keep = shared_from_this();
    std::shared_ptr<UIView> overlay = std::move(overlay_);
    overlay_.reset();
    direction_ = UIPopoverArrowDirectionUnknown;
    std::shared_ptr<UIViewController> content = content_;
    if (content) {
        content->viewWillDisappear(animated);
    }
    auto finish = [overlay, content, animated](bool) {
        if (content && content->isViewLoaded()) {
            content->view()->removeFromSuperview();
        }
        overlay->removeFromSuperview();
        if (content) {
            content->viewDidDisappear(animated);
        }
    };
    keepAlive_.reset();
    if (animated) {
        UIView::animateWithDurationAnimationsCompletion(
            kFadeDuration, [overlay] { overlay->setAlpha(0); }, finish);
    } else {
        finish(true);
    }
}

void UIPopoverController::tapOutside() {
    std::shared_ptr<UIPopoverController> keep = shared_from_this();
    auto d = delegate();
    if (d && !d->popoverControllerShouldDismissPopover(*this)) {
        return;
    }
    dismissPopoverAnimated(true);
    if (d) {
        d->popoverControllerDidDismissPopover(*this);
    }
}
