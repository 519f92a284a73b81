#include "places/CBCellLabelWithBubble.h"

#include <cmath>

#include "UIKit/UIFont.h"
#include "UIKit/UIImageView.h"
#include "UIKit/UILabel.h"
#include "mapkit/VADMaskedIconView.h"

namespace {
constexpr long kBubbleCap = 5;
constexpr CGFloat kDetailTop = 14;
}  // namespace

CBCellLabelWithBubble::CBCellLabelWithBubble(const std::string& reuseIdentifier)
    : UITableViewCell(UITableViewCellStyleValue1, reuseIdentifier),
      bubble_(
          std::make_shared<UIImageView>(CGRectMake(0, 0, 2 * kBubbleCap + 1, 2 * kBubbleCap + 1))) {
    textLabel()->setFont(UIFont::boldSystemFontOfSize(18));
    textLabel()->setAdjustsFontSizeToFitWidth(true);
    auto icon = VADMaskedIconView::iconWithImageNamed("bubble.png");
    icon->setColor(UIColor::lightGrayColor());
    icon->setHighlightedColor(UIColor::whiteColor());
    if (auto image = icon->renderImage())
        bubble_->setImage(
            image->stretchableImageWithLeftCapWidthTopCapHeight(kBubbleCap, kBubbleCap));
    if (auto image = icon->renderHighlightedImage())
        bubble_->setHighlightedImage(
            image->stretchableImageWithLeftCapWidthTopCapHeight(kBubbleCap, kBubbleCap));
    contentView()->addSubview(bubble_);
    auto detail = detailTextLabel();
    detail->setTextAlignment(NSTextAlignmentCenter);
    detail->setFont(UIFont::boldSystemFontOfSize(13));
    detail->setAdjustsFontSizeToFitWidth(true);
    detail->setMinimumScaleFactor(0.6);
    detail->setTextColor(UIColor::whiteColor());
    detail->setHighlightedTextColor(UIColor::lightGrayColor());
    contentView()->bringSubviewToFront(bubble_);
    contentView()->bringSubviewToFront(detail);
}

void CBCellLabelWithBubble::updateBubble() {
    bubble_->setHighlighted(isHighlighted() || isSelected());
    detailTextLabel()->setOpaque(false);
    detailTextLabel()->setBackgroundColor(UIColor::clearColor());
}

void CBCellLabelWithBubble::setSelectedAnimated(bool selected, bool animated) {
    UITableViewCell::setSelectedAnimated(selected, animated);
    updateBubble();
}

void CBCellLabelWithBubble::setHighlightedAnimated(bool highlighted, bool animated) {
    UITableViewCell::setHighlightedAnimated(highlighted, animated);
    updateBubble();
}

void CBCellLabelWithBubble::layoutSubviews() {
    UITableViewCell::layoutSubviews();
    auto detail = detailTextLabel();
    CGRect frame = detail->frame();
    // The count's line, not the row's height, so the bubble hugs it.
    frame.size.height = std::ceil(detail->sizeThatFits(frame.size).height);
    frame.origin.y = kDetailTop;
    detail->setFrame(frame);
    bubble_->setFrame(CGRectInset(frame, -5, -2));
    auto text = textLabel();
    CGRect textFrame = text->frame();
    textFrame.size.width = frame.origin.x - textFrame.origin.x - 5;
    text->setFrame(textFrame);
}
