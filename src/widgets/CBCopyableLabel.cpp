#include "widgets/CBCopyableLabel.h"

#include "UIKit/UILongPressGestureRecognizer.h"
#include "UIKit/UIMenuController.h"
#include "UIKit/UIPasteboard.h"

void CBShowCopyMenuForView(const std::shared_ptr<UIView>& view) {
    if (!view || !view->becomeFirstResponder())
        return;
    auto menu = UIMenuController::sharedMenuController();
    menu->setTargetRectInView(view->bounds(), view);
    menu->setMenuVisibleAnimated(true, true);
}

void CBAddCopyLongPress(const std::shared_ptr<UIView>& view) {
    view->setUserInteractionEnabled(true);
    std::weak_ptr<UIView> weak = view;
    view->addGestureRecognizer(
        std::make_shared<UILongPressGestureRecognizer>([weak](UIGestureRecognizer& press) {
            if (press.state() == UIGestureRecognizerStateBegan)
                CBShowCopyMenuForView(weak.lock());
        }));
}

std::shared_ptr<CBCopyableLabel> CBCopyableLabel::create(const CGRect& frame) {
    auto label = std::make_shared<CBCopyableLabel>(frame);
    CBAddCopyLongPress(label);
    return label;
}

bool CBCopyableLabel::canPerformAction(UIEditAction action, UIResponder*) const {
    return action == UIEditActionCopy && !text().empty();
}

void CBCopyableLabel::performEditAction(UIEditAction action, UIResponder* sender) {
    if (action == UIEditActionCopy)
        UIPasteboard::generalPasteboard()->setString(text());
    else
        UILabel::performEditAction(action, sender);
}
