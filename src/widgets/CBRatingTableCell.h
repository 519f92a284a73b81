#pragma once

#include "UIKit/UITableViewCell.h"

// A table cell that draws a star rating (0 to 5, halves drawn as half
// stars) at its right, after its text.
class CBRatingTableCell : public UITableViewCell {
  public:
    static constexpr int kStarCount = 5;
    CBRatingTableCell(UITableViewCellStyle style, const std::string& reuseIdentifier);

    float rating() const { return rating_; }
    // Clamped to 0...5; not a number counts as 0.
    void setRating(float rating);
    void layoutSubviews() override;

  private:
    class StarsView;
    std::shared_ptr<StarsView> stars_;
    float rating_ = 0;
};
