#pragma once

#include <memory>

#include "UIKit/UICollectionViewCell.h"

class CAShapeLayer;
class UIImage;
class UILabel;
class VADMaskedIconView;

// A category of the city guide's dial: a masked icon inside a ring, with
// the category's name below.
class CBGuideCategoryCell : public UICollectionViewCell {
  public:
    explicit CBGuideCategoryCell(const CGRect& frame = CGRectZero);

    const std::shared_ptr<UILabel>& label() const { return label_; }
    const std::shared_ptr<VADMaskedIconView>& iconView() const { return iconView_; }
    const std::shared_ptr<CAShapeLayer>& shapeLayer() const { return shapeLayer_; }
    // Configures the icon with the image and sizes it to fit.
    void setIconImage(const std::shared_ptr<UIImage>& image);
    void layoutSubviews() override;

  private:
    std::shared_ptr<UILabel> label_;
    std::shared_ptr<VADMaskedIconView> iconView_;
    std::shared_ptr<CAShapeLayer> shapeLayer_;
};
