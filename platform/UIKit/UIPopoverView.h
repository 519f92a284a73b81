#pragma once

#include <memory>

#include "UIKit/UIView.h"

class UIPopoverController;

// What a shown popover puts over the window: a clear layer catching taps
// outside the box, the box with its arrow, and the content view in the box.
class UIPopoverView : public UIView {
  public:
    static constexpr CGFloat kArrowHeight = 13;
    static constexpr CGFloat kArrowBase = 26;
    static constexpr CGFloat kCornerRadius = 10;

    UIPopoverView(const CGRect& frame, std::weak_ptr<UIPopoverController> controller);

    // Places the box (window coordinates, without the arrow), the arrow on
    // the side given by direction pointing at tip, and the content in the box.
    void placeBox(const CGRect& box, unsigned direction, CGPoint tip,
                  const std::shared_ptr<UIView>& content);
    CGRect boxFrame() const { return box_; }

    std::shared_ptr<UIView> hitTest(CGPoint point, UIEvent* event) override;
    void touchesEnded(const UITouchSet& touches, UIEvent* event) override;

  private:
    std::weak_ptr<UIPopoverController> controller_;
    std::shared_ptr<UIView> frameView_;
    std::shared_ptr<UIView> container_;
    CGRect box_{};
};
