#include "widgets/ZELCalloutBubbleView.h"

#include <algorithm>

#include "CoreGraphics/CGPath.h"
#include "QuartzCore/CALayer.h"
#include "UIKit/UIFont.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/UILabel.h"

namespace {
constexpr CGFloat kCornerRadius = 4;
constexpr CGFloat kHorizontalPadding = 20;
constexpr CGFloat kVerticalPadding = 10;
constexpr CGSize kUnlimited{10000, 10000};
}  // namespace

ZELCalloutBubbleView::ZELCalloutBubbleView(const CGRect& frame) : UIView(frame) {
    setBackgroundColor(UIColor::clearColor());
}

const std::shared_ptr<UILabel>& ZELCalloutBubbleView::labelTitle() {
    if (!title_) {
        title_ = std::make_shared<UILabel>();
        title_->setFont(UIFont::boldSystemFontOfSize(15));
        addSubview(title_);
    }
    return title_;
}

const std::shared_ptr<UILabel>& ZELCalloutBubbleView::labelSubtitle() {
    if (!subtitle_) {
        subtitle_ = std::make_shared<UILabel>();
        subtitle_->setFont(UIFont::systemFontOfSize(12));
        subtitle_->setTextColor(UIColor::darkGrayColor());
        addSubview(subtitle_);
    }
    return subtitle_;
}

CGSize ZELCalloutBubbleView::sizeThatFits(CGSize size) const {
    const CGSize title = title_ ? title_->sizeThatFits(kUnlimited) : CGSizeZero;
    const CGSize subtitle = subtitle_ ? subtitle_->sizeThatFits(kUnlimited) : CGSizeZero;
    return {std::min(size.width, std::max(title.width, subtitle.width) + kHorizontalPadding),
            title.height + subtitle.height + kVerticalPadding};
}

void ZELCalloutBubbleView::layoutSubviews() {
    const CGRect bounds = this->bounds();
    const CGFloat width = bounds.size.width - kHorizontalPadding;
    CGFloat y = kVerticalPadding / 2;
    for (const auto& label : {title_, subtitle_}) {
        if (!label)
            continue;
        const CGFloat height = label->sizeThatFits(kUnlimited).height;
        label->setFrame(CGRectMake(kHorizontalPadding / 2, y, width, height));
        y += height;
    }
}

void ZELCalloutBubbleView::drawRect(const CGRect&) {
    CGContextRef context = UIGraphicsGetCurrentContext();
    const CGRect bounds = this->bounds();
    // The anchor point (unit coordinates of the layer) below or above the
    // bubble: the body leaves room for an arrow pointing at it.
    const CGPoint anchor = layer()->anchorPoint();
    const bool below = anchor.y > 1, above = anchor.y < 0;
    CGRect bodyRect = bounds;
    if (below || above) {
        bodyRect.size.height -= kArrowHeight;
        if (above)
            bodyRect.origin.y += kArrowHeight;
    }
    CGPath body;
    body.addRoundedRect(bodyRect, kCornerRadius, kCornerRadius);
    const CGFloat x = std::clamp(anchor.x * bounds.size.width, kCornerRadius + kArrowHeight,
                                 bounds.size.width - kCornerRadius - kArrowHeight);
    if (below || above) {
        const CGFloat base = below ? CGRectGetMaxY(bodyRect) : bodyRect.origin.y;
        const CGFloat tip = below ? bounds.size.height : 0;
        body.moveToPoint({x - kArrowHeight, base});
        body.addLineToPoint({x, tip});
        body.addLineToPoint({x + kArrowHeight, base});
        body.closeSubpath();
    }
    context->addPath(body);
    context->setFillColorWithColor(bodyColor_.CGColor());
    context->setStrokeColorWithColor(UIColor::colorWithWhiteAlpha(0, 0.25).CGColor());
    context->setLineWidth(1);
    context->drawPath(kCGPathFillStroke);
}
