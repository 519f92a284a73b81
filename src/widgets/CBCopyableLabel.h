#pragma once

#include <memory>

#include "UIKit/UILabel.h"

// Shows the edit menu with Copy over a view that can copy; the view becomes
// the first responder so the menu asks it.
void CBShowCopyMenuForView(const std::shared_ptr<UIView>& view);
// Adds the long press that shows the copy menu.
void CBAddCopyLongPress(const std::shared_ptr<UIView>& view);

// A label whose text a long press offers to copy.
class CBCopyableLabel : public UILabel {
  public:
    static std::shared_ptr<CBCopyableLabel> create(const CGRect& frame = CGRectZero);
    explicit CBCopyableLabel(const CGRect& frame) : UILabel(frame) {}

    bool canBecomeFirstResponder() const override { return true; }
    bool canPerformAction(UIEditAction action, UIResponder* sender) const override;
    void performEditAction(UIEditAction action, UIResponder* sender) override;
};
