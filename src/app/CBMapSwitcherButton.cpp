#include "app/CBMapSwitcherButton.h"

#include "QuartzCore/CALayer.h"
#include "UIKit/UIFont.h"
#include "UIKit/UILabel.h"
#include "foundation/NSString+CBNSStringAdditions.h"
#include "mapkit/CBMapOrnamentationFrameManager.h"
#include "packages/CBMapStoreMap.h"

namespace {
UIColor backgroundForHighlight(bool highlighted) {
    return highlighted ? UIColor::colorWithWhiteAlpha(0.85, 1) : UIColor::whiteColor();
}

std::shared_ptr<UILabel> centredLabel(const std::string& text, std::shared_ptr<UIFont> font) {
    auto label = std::make_shared<UILabel>();
    label->setText(text);
    label->setFont(std::move(font));
    label->setTextAlignment(NSTextAlignmentCenter);
    label->setTextColor(UIColor::colorWithRedGreenBlueAlpha(0.1, 0.3, 0.6, 1));
    label->setAdjustsFontSizeToFitWidth(true);
    label->setMinimumScaleFactor(0.7);
    return label;
}
}  // namespace

CBMapSwitcherButton::CBMapSwitcherButton(CBNearbyMapInfo info)
    : UIControl(CGRectMake(0, 0, kWidth, kHeight)), info_(std::move(info)) {
    setBackgroundColor(backgroundForHighlight(false));
    layer()->setCornerRadius(8);
    layer()->setBorderWidth(1);
    layer()->setBorderColor(UIColor::colorWithWhiteAlpha(0.6, 1).CGColor());
    arrowLabel_ =
        centredLabel(arrowForDirection(info_.direction()), UIFont::boldSystemFontOfSize(15));
    nameLabel_ = centredLabel(info_.map()->shortTitle(), UIFont::boldSystemFontOfSize(12));
    // A city's name is read whole: long ones ("Neubrandenburg") shrink further.
    nameLabel_->setMinimumScaleFactor(0.6);
    distanceLabel_ = centredLabel(stringWithDistanceFromFloat(float(info_.distance())),
                                  UIFont::systemFontOfSize(11));
}

std::shared_ptr<CBMapSwitcherButton> CBMapSwitcherButton::create(CBNearbyMapInfo info) {
    auto button = std::make_shared<CBMapSwitcherButton>(std::move(info));
    for (const auto& label : {button->arrowLabel_, button->nameLabel_, button->distanceLabel_})
        button->addSubview(label);
    return button;
}

const char* CBMapSwitcherButton::arrowForDirection(unsigned direction) {
    switch (direction) {
        case CBMapOrnamentationDirectionTop:
            return "\u2191";
        case CBMapOrnamentationDirectionTop | CBMapOrnamentationDirectionRight:
            return "\u2197";
        case CBMapOrnamentationDirectionRight:
            return "\u2192";
        case CBMapOrnamentationDirectionBottom | CBMapOrnamentationDirectionRight:
            return "\u2198";
        case CBMapOrnamentationDirectionBottom:
            return "\u2193";
        case CBMapOrnamentationDirectionBottom | CBMapOrnamentationDirectionLeft:
            return "\u2199";
        case CBMapOrnamentationDirectionLeft:
            return "\u2190";
        case CBMapOrnamentationDirectionTop | CBMapOrnamentationDirectionLeft:
            return "\u2196";
        default:
            return "";
    }
}

void CBMapSwitcherButton::layoutSubviews() {
    const CGRect b = bounds();
    const CGFloat inner = b.size.width - 8;
    arrowLabel_->setFrame(CGRectMake(4, 3, inner, 18));
    // The name may run up to the border.
    nameLabel_->setFrame(CGRectMake(2, 22, b.size.width - 4, 18));
    distanceLabel_->setFrame(CGRectMake(4, 40, inner, 16));
}

void CBMapSwitcherButton::stateDidChange() {
    setBackgroundColor(backgroundForHighlight(isHighlighted()));
}
