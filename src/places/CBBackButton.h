#pragma once

#include <functional>
#include <memory>

#include "UIKit/UIButton.h"

// A navigation bar's back chevron, drawn as the bar draws its own, whose tap
// area reaches at least 44 by 44 points from its left edge: the chevron alone
// is a few points wide. The area reaches under a title beside it, which takes
// no touches, so the bar lays out the chevron's width only.
class CBBackButton : public UIButton {
  public:
    static constexpr CGFloat kMinimumTapSize = 44;

    // The chevron, read as "Back", running action on a tap.
    static std::shared_ptr<CBBackButton> buttonWithAction(std::function<void()> action);
    CBBackButton();

    // Where a touch counts, in the button's coordinates.
    CGRect tapArea() const;
    bool pointInside(CGPoint point, UIEvent* event) const override;
};
