#include "places/CBBackButton.h"

#include <algorithm>

#include "UIKit/UIFont.h"

// A button shows its title once it is shared: it is set up here.
std::shared_ptr<CBBackButton> CBBackButton::buttonWithAction(std::function<void()> action) {
    auto button = std::make_shared<CBBackButton>();
    button->setTitleForState("\u2039", UIControlStateNormal);
    button->titleLabel()->setFont(UIFont::systemFontOfSize(17));
    button->setAccessibilityLabel("Back");
    button->sizeToFit();
    button->addTargetForControlEvents([action = std::move(action)](UIControl&) { action(); },
                                      UIControlEventTouchUpInside);
    return button;
}

CBBackButton::CBBackButton() : UIButton(CGRectZero, UIButtonTypeSystem) {}

CGRect CBBackButton::tapArea() const {
    const CGRect b = bounds();
    const CGFloat height = std::max(b.size.height, kMinimumTapSize);
    return CGRectMake(b.origin.x, CGRectGetMidY(b) - height / 2,
                      std::max(b.size.width, kMinimumTapSize), height);
}

bool CBBackButton::pointInside(CGPoint point, UIEvent*) const {
    return CGRectContainsPoint(tapArea(), point);
}
