#include "UIKit/UIPopoverPresentationController.h"

#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UIView.h"
#include "UIKit/UIViewController.h"

UIPopoverArrowDirection UIPopoverPresentationController::arrowDirection() const {
    return popover_ ? popover_->popoverArrowDirection() : UIPopoverArrowDirectionUnknown;
}

void UIPopoverPresentationController::show(const std::shared_ptr<UIViewController>& presented,
                                           bool animated, std::function<void()> dismissedOutside) {
    dismissedOutside_ = std::move(dismissedOutside);
    popover_ = std::make_shared<UIPopoverController>(presented);
    popover_->setDelegate(weak_from_this());
    if (barButtonItem_)
        popover_->presentPopoverFromBarButtonItemPermittedArrowDirectionsAnimated(
            barButtonItem_, permitted_, animated);
    else
        popover_->presentPopoverFromRectInViewPermittedArrowDirectionsAnimated(
            sourceRect_, sourceView_.lock(), permitted_, animated);
}

void UIPopoverPresentationController::hide(bool animated) {
    // The popover holds the presented controller, which holds this.
    auto popover = std::move(popover_);
    dismissedOutside_ = nullptr;
    if (popover)
        popover->dismissPopoverAnimated(animated);
}

void UIPopoverPresentationController::popoverControllerDidDismissPopover(UIPopoverController&) {
    popover_.reset();
    auto dismissed = std::move(dismissedOutside_);
    dismissedOutside_ = nullptr;
    if (dismissed)
        dismissed();
}
