#include "sdk/update/BITStoreButton.h"

#include <algorithm>

#include "QuartzCore/CALayer.h"
#include "UIKit/UIFont.h"
#include "UIKit/UILabel.h"

namespace {

const UIColor kEnabledColor =
    UIColor::colorWithRedGreenBlueAlpha(35 / 255.0, 111 / 255.0, 251 / 255.0, 1);
const UIColor kDisabledColor =
    UIColor::colorWithRedGreenBlueAlpha(148 / 255.0, 150 / 255.0, 151 / 255.0, 1);
constexpr CGFloat kMaximumLabelWidth = 120;

}  // namespace

BITStoreButton::BITStoreButton(CGPoint padding, long style)
    : UIButton(CGRect{{0, 0}, {40, 25}}), customPadding_(padding), style_(style) {
    titleLabel()->setFont(UIFont::boldSystemFontOfSize(13));
    setTitleEdgeInsets(UIEdgeInsets{2, 0, 0, 0});
    layer()->setCornerRadius(2.5);
    layer()->setBorderWidth(1);
    addTargetForControlEvents([this](UIControl&) { buttonPressed(); }, UIControlEventTouchUpInside);
    updateButtonAnimated(false);
}

void BITStoreButton::buttonPressed() {
    if (const auto delegate = buttonDelegate())
        delegate->storeButtonFired(*this);
}

void BITStoreButton::setButtonDataAnimated(const BITStoreButtonData& data, bool animated) {
    buttonData_ = data;
    updateButtonAnimated(animated);
}

void BITStoreButton::updateButtonAnimated(bool animated) {
    const UIColor color = buttonData_.enabled ? kEnabledColor : kDisabledColor;
    setEnabled(buttonData_.enabled);
    setTitleColorForState(color, UIControlStateNormal);
    setTitleColorForState(color, UIControlStateDisabled);
    setTitleForState(buttonData_.label, UIControlStateNormal);
    layer()->setBorderColor(color.CGColor());
    if (animated)
        UIView::animateWithDurationAnimations(0.25, [this] { alignToSuperview(); });
    else
        alignToSuperview();
}

CGSize BITStoreButton::sizeThatFits(CGSize) const {
    const CGSize label = titleLabel()->sizeThatFits({kMaximumLabelWidth, 25});
    return {std::min(label.width, kMaximumLabelWidth) + 24, 25};
}

void BITStoreButton::alignToSuperview() {
    sizeToFit();
    const auto parent = superview();
    if (!parent)
        return;
    CGRect frame = this->frame();
    frame.origin = {parent->bounds().size.width - frame.size.width - 2 * customPadding_.x,
                    customPadding_.y};
    setFrame(frame);
}
