#pragma once

#include <memory>
#include <string>
#include <vector>

#include "UIKit/UIView.h"

class UIImage;
class UIImageView;
class UILabel;

// A bar of icon-and-text pairs laid out left to right in array order, the
// pairs spaced evenly over the width.
class CBStatsBar : public UIView {
  public:
    explicit CBStatsBar(const CGRect& frame = CGRectZero);

    // One label per string.
    void setTexts(const std::vector<std::string>& texts);
    // The icons of the pairs, in the same order.
    void setImages(const std::vector<std::shared_ptr<UIImage>>& images);
    const std::vector<std::shared_ptr<UILabel>>& labels() const { return labels_; }
    const std::vector<std::shared_ptr<UIImageView>>& imageViews() const { return imageViews_; }

    void layoutSubviews() override;

  private:
    std::vector<std::shared_ptr<UILabel>> labels_;
    std::vector<std::shared_ptr<UIImageView>> imageViews_;
};
