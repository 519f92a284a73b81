#include "sdk/update/BITAppStoreHeader.h"

#include "UIKit/UIColor.h"
#include "UIKit/UIFont.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/UIImage.h"
#include "UIKit/UILabel.h"
#include "sdk/BITImageHelpers.h"

namespace {

constexpr CGFloat kIconSize = 72;
constexpr CGFloat kIconCornerRadius = 16;
constexpr CGPoint kIconOrigin = {14, 12};
constexpr CGFloat kTextLeft = 96;

std::shared_ptr<UILabel> makeLabel(const std::shared_ptr<UIFont>& font, CGFloat white) {
    auto label = std::make_shared<UILabel>();
    label->setFont(font);
    label->setTextColor(UIColor::colorWithWhiteAlpha(white / 255.0, 1));
    label->setBackgroundColor(UIColor::clearColor());
    return label;
}

}  // namespace

BITAppStoreHeader::BITAppStoreHeader(const CGRect& frame) : UIView(frame) {
    setBackgroundColor(UIColor::whiteColor());
}

void BITAppStoreHeader::setHeaderText(const std::string& text) {
    headerText_ = text;
    setNeedsLayout();
}

void BITAppStoreHeader::setSubHeaderText(const std::string& text) {
    subHeaderText_ = text;
    setNeedsLayout();
}

void BITAppStoreHeader::setIconImage(const std::shared_ptr<UIImage>& image) {
    iconImage_ = bit_roundedIconImage(bit_scaledImage(image, {kIconSize, kIconSize}, true),
                                      long(kIconCornerRadius), 0);
    setNeedsDisplay();
}

void BITAppStoreHeader::drawRect(const CGRect&) {
    const auto context = UIGraphicsGetCurrentContext();
    if (!context)
        return;
    const CGRect area = bounds();
    context->setFillColorWithColor(UIColor::colorWithWhiteAlpha(186 / 255.0, 1).CGColor());
    context->fillRect({{0, area.size.height - 1}, {area.size.width, 1}});
    if (iconImage_)
        iconImage_->drawInRect({kIconOrigin, {kIconSize, kIconSize}});
}

void BITAppStoreHeader::layoutSubviews() {
    if (!headerLabel_) {
        headerLabel_ = makeLabel(UIFont::boldSystemFontOfSize(15), 61);
        subHeaderLabel_ = makeLabel(UIFont::systemFontOfSize(10), 100);
        addSubview(headerLabel_);
        addSubview(subHeaderLabel_);
    }
    const CGFloat width = bounds().size.width - kTextLeft - 8;
    headerLabel_->setFrame({{kTextLeft, 12}, {width, 20}});
    headerLabel_->setText(headerText_);
    subHeaderLabel_->setFrame({{kTextLeft, 29}, {width, 20}});
    subHeaderLabel_->setText(subHeaderText_);
}
