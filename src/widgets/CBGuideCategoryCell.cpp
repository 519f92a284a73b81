#include "widgets/CBGuideCategoryCell.h"

#include <algorithm>
#include <limits>

#include "CoreGraphics/CGPath.h"
#include "QuartzCore/CAShapeLayer.h"
#include "UIKit/UIFont.h"
#include "UIKit/UILabel.h"
#include "mapkit/VADMaskedIconView.h"

namespace {
constexpr CGFloat kLabelHeight = 18;
constexpr CGFloat kRingWidth = 2;
}  // namespace

CBGuideCategoryCell::CBGuideCategoryCell(const CGRect& frame)
    : UICollectionViewCell(frame),
      label_(std::make_shared<UILabel>()),
      iconView_(std::make_shared<VADMaskedIconView>()),
      shapeLayer_(std::make_shared<CAShapeLayer>()) {
    label_->setFont(UIFont::systemFontOfSize(12));
    label_->setTextAlignment(NSTextAlignmentCenter);
    shapeLayer_->setFillColor(std::nullopt);
    shapeLayer_->setStrokeColor(
        UIColor::colorWithRedGreenBlueAlpha(0.9804, 0.2235, 0.1843, 1).CGColor());
    shapeLayer_->setLineWidth(kRingWidth);
}

void CBGuideCategoryCell::setIconImage(const std::shared_ptr<UIImage>& image) {
    iconView_->configureWithImage(image);
    iconView_->sizeToFit();
    setNeedsLayout();
}

void CBGuideCategoryCell::layoutSubviews() {
    UICollectionViewCell::layoutSubviews();
    auto content = contentView();
    if (!label_->superview()) {
        content->layer()->addSublayer(shapeLayer_);
        content->addSubview(iconView_);
        content->addSubview(label_);
    }
    const CGRect bounds = content->bounds();
    const CGFloat diameter = std::max<CGFloat>(
        0, std::min(bounds.size.width, bounds.size.height - kLabelHeight) - kRingWidth);
    const CGRect ring =
        CGRectMake((bounds.size.width - diameter) / 2, kRingWidth / 2, diameter, diameter);
    CGPath path;
    path.addEllipseInRect(ring);
    shapeLayer_->setFrame(bounds);
    shapeLayer_->setPath(path);
    const CGSize icon = iconView_->bounds().size;
    iconView_->setFrame(CGRectMake(CGRectGetMidX(ring) - icon.width / 2,
                                   CGRectGetMidY(ring) - icon.height / 2, icon.width, icon.height));
    // A name of two lines reaches below the cell, into the space between the rows.
    const CGFloat labelHeight = std::max(
        kLabelHeight,
        label_->sizeThatFits(CGSizeMake(bounds.size.width, std::numeric_limits<CGFloat>::max()))
            .height);
    label_->setFrame(
        CGRectMake(0, CGRectGetMaxY(ring) + kRingWidth / 2, bounds.size.width, labelHeight));
}
