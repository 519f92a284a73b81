#pragma once

#include <memory>

#include "UIKit/UITableViewCell.h"

class UIImageView;

// A row of the guide's category list: the category's name on the left and
// its count on a small grey bubble on the right (white on the bubble, and
// the other way round while the row is highlighted).
class CBCellLabelWithBubble : public UITableViewCell {
  public:
    explicit CBCellLabelWithBubble(const std::string& reuseIdentifier);

    const std::shared_ptr<UIImageView>& bubble() const { return bubble_; }

    void setSelectedAnimated(bool selected, bool animated) override;
    void setHighlightedAnimated(bool highlighted, bool animated) override;
    void layoutSubviews() override;

  private:
    // The bubble follows the row's highlight; the count stays on it.
    void updateBubble();

    std::shared_ptr<UIImageView> bubble_;
};
