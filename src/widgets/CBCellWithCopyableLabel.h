#pragma once

#include <memory>
#include <string>

#include "UIKit/UITableViewCell.h"

// A table cell whose text a long press offers to copy.
class CBCellWithCopyableLabel : public UITableViewCell {
  public:
    static std::shared_ptr<CBCellWithCopyableLabel> create(UITableViewCellStyle style,
                                                           const std::string& reuseIdentifier);
    CBCellWithCopyableLabel(UITableViewCellStyle style, const std::string& reuseIdentifier)
        : UITableViewCell(style, reuseIdentifier) {}

    // The text copied: the text label's, and the detail's on a line below.
    std::string copyText() const;
    bool canBecomeFirstResponder() const override { return true; }
    bool canPerformAction(UIEditAction action, UIResponder* sender) const override;
    void performEditAction(UIEditAction action, UIResponder* sender) override;
};
