#include "app/CBMapEdgeOrnamentView.h"

#include <bit>

#include "CoreGraphics/CGContext.h"
#include "QuartzCore/CALayer.h"
#include "UIKit/UIGraphics.h"
#include "app/CBMapSwitcherButton.h"
#include "mapkit/CBMapOrnamentationFrameManager.h"

namespace {
constexpr CGFloat kButtonGap = 8;
constexpr CGFloat kStripeSpacing = 12;
constexpr CGFloat kBorderWidth = 3;
}  // namespace

CBMapEdgeOrnamentView::CBMapEdgeOrnamentView(unsigned direction) : direction_(direction) {
    // The manager stretches an edge's band along the edge; across it the
    // band keeps its reach.
    setFrame(CGRectMake(0, 0, kThickness, kThickness));
    layer()->setAnchorPoint(CBMapOrnamentationAnchorPointForDirection(direction));
    setBackgroundColor(UIColor::colorWithRedGreenBlueAlpha(0.84, 0.86, 0.89, 1));
}

std::shared_ptr<CBMapEdgeOrnamentView> CBMapEdgeOrnamentView::create(
    unsigned direction, const std::vector<CBNearbyMapInfo>& neighbours, SwitchAction action) {
    auto band = std::make_shared<CBMapEdgeOrnamentView>(direction);
    for (const auto& info : neighbours) {
        if (band->switchers_.size() == capacityForDirection(direction))
            break;
        auto button = CBMapSwitcherButton::create(info);
        button->addTargetForControlEvents(
            [action, info](UIControl&) {
                if (action)
                    action(info);
            },
            UIControlEventTouchUpInside);
        band->addSubview(button);
        band->switchers_.push_back(std::move(button));
    }
    return band;
}

size_t CBMapEdgeOrnamentView::capacityForDirection(unsigned direction) {
    return std::popcount(direction) == 2 ? 1 : 2;
}

void CBMapEdgeOrnamentView::layoutSubviews() {
    const CGRect b = bounds();
    const bool vertical = direction_ == CBMapOrnamentationDirectionLeft ||
                          direction_ == CBMapOrnamentationDirectionRight;
    const CGFloat w = CBMapSwitcherButton::kWidth;
    const CGFloat h = CBMapSwitcherButton::kHeight;
    const CGFloat count = CGFloat(switchers_.size());
    // Side by side along a horizontal edge, stacked along a vertical one.
    const CGFloat runLength =
        vertical ? count * h + (count - 1) * kButtonGap : count * w + (count - 1) * kButtonGap;
    CGFloat x = vertical ? (b.size.width - w) / 2 : (b.size.width - runLength) / 2;
    CGFloat y = vertical ? (b.size.height - runLength) / 2 : (b.size.height - h) / 2;
    for (const auto& button : switchers_) {
        button->setFrame(CGRectMake(x, y, w, h));
        if (vertical)
            y += h + kButtonGap;
        else
            x += w + kButtonGap;
    }
}

void CBMapEdgeOrnamentView::drawRect(const CGRect&) {
    auto context = UIGraphicsGetCurrentContext();
    if (!context)
        return;
    const CGRect b = bounds();
    // Light diagonal stripes: land no map covers.
    context->setRGBStrokeColor(0.76, 0.78, 0.82, 1);
    context->setLineWidth(1.5);
    context->beginPath();
    for (CGFloat d = -b.size.height; d < b.size.width; d += kStripeSpacing) {
        context->moveToPoint(d, b.size.height);
        context->addLineToPoint(d + b.size.height, 0);
    }
    context->strokePath();
    // A firm line along the side that touches the map.
    context->setRGBFillColor(0.45, 0.49, 0.56, 1);
    if (direction_ == CBMapOrnamentationDirectionTop)
        context->fillRect(CGRectMake(0, b.size.height - kBorderWidth, b.size.width, kBorderWidth));
    else if (direction_ == CBMapOrnamentationDirectionBottom)
        context->fillRect(CGRectMake(0, 0, b.size.width, kBorderWidth));
    else if (direction_ == CBMapOrnamentationDirectionLeft)
        context->fillRect(CGRectMake(b.size.width - kBorderWidth, 0, kBorderWidth, b.size.height));
    else if (direction_ == CBMapOrnamentationDirectionRight)
        context->fillRect(CGRectMake(0, 0, kBorderWidth, b.size.height));
}
