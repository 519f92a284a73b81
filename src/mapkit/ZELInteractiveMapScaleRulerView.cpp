#include "mapkit/ZELInteractiveMapScaleRulerView.h"

#include <algorithm>
#include <cmath>

#include "UIKit/UIFont.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/UILabel.h"

namespace {

constexpr CGFloat kMinimumLabelWidth = 60;
constexpr CGFloat kTopMargin = 72;
constexpr CGFloat kLineInset = 2;
constexpr CGFloat kLineEndInset = 15;

}  // namespace

std::shared_ptr<ZELInteractiveMapScaleMarkerView>
ZELInteractiveMapScaleMarkerView::defaultMarkerView() {
    auto marker = std::make_shared<ZELInteractiveMapScaleMarkerView>(CGRectMake(0, 0, 9, 9));
    marker->setContentMode(UIViewContentModeRedraw);
    return marker;
}

ZELInteractiveMapScaleMarkerView::ZELInteractiveMapScaleMarkerView(const CGRect& frame)
    : UIView(frame) {
    setBackgroundColor(UIColor::clearColor());
    setContentMode(UIViewContentModeRedraw);
}

void ZELInteractiveMapScaleMarkerView::drawRect(const CGRect&) {
    CGContextRef c = UIGraphicsGetCurrentContext();
    if (!c)
        return;
    c->setFillColorWithColor(CGColorCreateCopyWithAlpha(tintColor().CGColor(), 0.5));
    c->fillEllipseInRect(CGRectInset(bounds(), 1, 1));
}

ZELInteractiveMapScaleRulerAuxilaryView::ZELInteractiveMapScaleRulerAuxilaryView(
    const CGRect& frame)
    : UIView(frame) {
    setBackgroundColor(UIColor::clearColor());
    tintColorDidChange();
}

void ZELInteractiveMapScaleRulerAuxilaryView::tintColorDidChange() {
    CGColor tint = tintColor().CGColor();
    strokeColor_ = UIColor::colorWithRedGreenBlueAlpha(tint.red, tint.green, tint.blue, 0.5);
    setNeedsDisplay();
}

CGFloat ZELInteractiveMapScaleRulerAuxilaryView::gapHalfLength(CGFloat dx, CGFloat dy) {
    CGFloat ratio = std::fabs(dx) / std::max<CGFloat>(std::fabs(dy), 1);
    if (ratio >= 1.5)
        return 60;
    return ratio > 1 ? 40 * ratio : 40;
}

void ZELInteractiveMapScaleRulerAuxilaryView::drawRect(const CGRect&) {
    CGContextRef c = UIGraphicsGetCurrentContext();
    if (!c)
        return;
    CGRect r = CGRectInset(bounds(), kLineInset, kLineInset);
    CGPoint a = flipped_ ? CGPointMake(CGRectGetMinX(r), CGRectGetMaxY(r)) : r.origin;
    CGPoint b = flipped_ ? CGPointMake(CGRectGetMaxX(r), CGRectGetMinY(r))
                         : CGPointMake(CGRectGetMaxX(r), CGRectGetMaxY(r));
    CGFloat dx = b.x - a.x;
    CGFloat dy = b.y - a.y;
    CGFloat length = std::hypot(dx, dy);
    CGFloat g = gapHalfLength(dx, dy);
    if (length <= 2 * g + 2 * kLineEndInset && (drawGapForLabel_ || length <= 2 * kLineEndInset))
        return;
    auto at = [&](CGFloat f) {
        return CGPointMake(std::round(a.x + dx * f), std::round(a.y + dy * f));
    };
    CGFloat start = kLineEndInset / length;
    CGFloat end = 1 - kLineEndInset / length;
    c->beginPath();
    CGPoint p = at(start);
    c->moveToPoint(p.x, p.y);
    if (drawGapForLabel_) {
        CGPoint q = at(0.5 - g / length);
        c->addLineToPoint(q.x, q.y);
        q = at(0.5 + g / length);
        c->moveToPoint(q.x, q.y);
    }
    p = at(end);
    c->addLineToPoint(p.x, p.y);
    c->setStrokeColorWithColor(strokeColor_.CGColor());
    c->setLineWidth(3);
    c->setLineCap(kCGLineCapRound);
    c->setLineDash(0, {10, 7, 1, 7});
    c->strokePath();
}

ZELInteractiveMapScaleRulerView::ZELInteractiveMapScaleRulerView(const CGRect& frame)
    : UIView(frame) {
    setBackgroundColor(UIColor::clearColor());
    setUserInteractionEnabled(false);
    auxView_ = std::make_shared<ZELInteractiveMapScaleRulerAuxilaryView>(bounds());
    startMarker_ = ZELInteractiveMapScaleMarkerView::defaultMarkerView();
    endMarker_ = ZELInteractiveMapScaleMarkerView::defaultMarkerView();
    distanceLabel_ = std::make_shared<UILabel>();
    distanceLabel_->setFont(UIFont::fontWithNameSize("HelveticaNeue-Medium", 18));
    distanceLabel_->setTextColor(UIColor::whiteColor());
    distanceLabel_->setTextAlignment(NSTextAlignmentCenter);
    distanceLabel_->layer()->setCornerRadius(4);
    distanceLabel_->setClipsToBounds(true);
    distanceLabel_->setAutoresizingMask(
        UIViewAutoresizingFlexibleLeftMargin | UIViewAutoresizingFlexibleRightMargin |
        UIViewAutoresizingFlexibleTopMargin | UIViewAutoresizingFlexibleBottomMargin);
    distanceLabel_->setHidden(true);
    setMarkerAutoresizing();
    tintColorDidChange();
}

void ZELInteractiveMapScaleRulerView::tintColorDidChange() {
    CGColor tint = tintColor().CGColor();
    distanceLabel_->setBackgroundColor(
        UIColor::colorWithRedGreenBlueAlpha(tint.red, tint.green, tint.blue, 0.85));
}

std::shared_ptr<ZELInteractiveMapScaleRulerView> ZELInteractiveMapScaleRulerView::create(
    const CGRect& frame) {
    auto ruler = std::make_shared<ZELInteractiveMapScaleRulerView>(frame);
    for (const auto& part : std::initializer_list<std::shared_ptr<UIView>>{
             ruler->auxView_, ruler->startMarker_, ruler->endMarker_, ruler->distanceLabel_})
        ruler->addSubview(part);
    return ruler;
}

void ZELInteractiveMapScaleRulerView::setFlipped(bool flag) {
    if (flag == flipped_)
        return;
    flipped_ = flag;
    auxView_->setFlipped(flag);
    auxView_->setNeedsDisplay();
    setMarkerAutoresizing();
    setNeedsLayout();
}

void ZELInteractiveMapScaleRulerView::setMarkerAutoresizing() {
    // The marker at the line's upper end is the start marker unless flipped.
    const auto& upper = flipped_ ? endMarker_ : startMarker_;
    const auto& lower = flipped_ ? startMarker_ : endMarker_;
    upper->setAutoresizingMask(UIViewAutoresizingFlexibleRightMargin |
                               UIViewAutoresizingFlexibleTopMargin);
    lower->setAutoresizingMask(UIViewAutoresizingFlexibleLeftMargin |
                               UIViewAutoresizingFlexibleBottomMargin);
}

void ZELInteractiveMapScaleRulerView::setDistanceLabelText(const std::string& text) {
    distanceLabel_->setHidden(text.empty());
    if (!text.empty())
        distanceLabel_->setText(text);
    setNeedsLayout();
}

void ZELInteractiveMapScaleRulerView::setHiddenAnimatedWithCompletionBlock(bool hidden,
                                                                           bool animated,
                                                                           Completion completion) {
    if (!animated || hidden == isHidden()) {
        setHidden(hidden);
        if (completion)
            completion();
        return;
    }
    CGPoint configured = markerOffset_;
    if (!hidden)
        markerOffset_ = CGPointZero;
    layoutSubviews();
    if (!hidden) {
        setAlpha(0);
        setHidden(false);
    }
    markerOffset_ = hidden ? CGPointZero : configured;
    std::weak_ptr<ZELInteractiveMapScaleRulerView> weak =
        std::static_pointer_cast<ZELInteractiveMapScaleRulerView>(shared_from_this());
    UIView::animateWithDurationDelayOptionsAnimationsCompletion(
        0.5, 0, UIViewAnimationOptionAllowUserInteraction,
        [weak, hidden] {
            if (auto ruler = weak.lock()) {
                ruler->layoutSubviews();
                ruler->setAlpha(hidden ? 0 : 1);
            }
        },
        [weak, hidden, configured, completion](bool) {
            if (auto ruler = weak.lock()) {
                if (hidden)
                    ruler->setHidden(true);
                ruler->markerOffset_ = configured;
            }
            if (completion)
                completion();
        });
}

void ZELInteractiveMapScaleRulerView::weakSuperSetHidden(bool hidden) {
    UIView::setHidden(hidden);
}

void ZELInteractiveMapScaleRulerView::layoutSubviews() {
    CGRect b = bounds();
    CGFloat W = b.size.width;
    CGFloat H = b.size.height;
    CGSize size = distanceLabel_->sizeThatFits(b.size);
    size.width = std::max(size.width, kMinimumLabelWidth);
    CGPoint o = markerOffset_;
    bool centered = W > size.width + 80 || H > 480;
    bool pinnedToTop = false;
    bool pinnedToTopLeft = false;
    CGRect label = CGRectMake(std::floor((W - size.width) / 2) + o.x,
                              std::floor((H - size.height) / 2) + o.y, size.width, size.height);
    if (!centered) {
        // Above the upper marker: the start marker, or the end marker when flipped.
        CGFloat markerTop = o.y - markerSize_ / 2;
        CGFloat markerX = (flipped_ ? W + 4 : 0) + o.x - markerSize_ / 2;
        label.origin.y = markerTop - 2 * size.height;
        auto parent = superview();
        CGFloat topInParent = parent ? convertPointToView(label.origin, parent).y : label.origin.y;
        if (topInParent < kTopMargin) {
            pinnedToTop = true;
            label.origin.y = markerTop - std::floor((markerSize_ + size.height) / 2) + 9;
            CGFloat markerInParent =
                parent ? convertPointToView(CGPointMake(markerX, markerTop), parent).x : markerX;
            CGFloat middle = parent ? parent->bounds().size.width / 2 : W / 2;
            if (markerInParent > middle) {
                pinnedToTopLeft = true;
                label.origin.x = markerX - size.width - 12;
            } else {
                label.origin.x = markerX + markerSize_ + 12;
            }
        }
    }
    CGRect frame = CGRectInset(label, -4, -4);
    bool modeChanged =
        centered != centered_ || pinnedToTop != pinnedToTop_ || pinnedToTopLeft != pinnedToTopLeft_;
    if (modeChanged && !isHidden()) {
        std::weak_ptr<UILabel> weakLabel = distanceLabel_;
        UIView::animateWithDurationDelayOptionsAnimationsCompletion(
            0.25, 0,
            UIViewAnimationOptionAllowUserInteraction | UIViewAnimationOptionBeginFromCurrentState,
            [weakLabel, frame] {
                if (auto l = weakLabel.lock())
                    l->setFrame(frame);
            },
            nullptr);
    } else {
        distanceLabel_->setFrame(frame);
    }
    centered_ = centered;
    pinnedToTop_ = pinnedToTop;
    pinnedToTopLeft_ = pinnedToTopLeft;
    auxView_->setFrame(CGRectMake(o.x, o.y, W + 4, H + 4));
    auxView_->setDrawGapForLabel(centered);
    auxView_->setNeedsDisplay();
    layoutMarkers();
}

void ZELInteractiveMapScaleRulerView::layoutMarkers() {
    CGRect a = auxView_->frame();
    CGRect side = CGRectMake(0, 0, markerSize_, markerSize_);
    startMarker_->setBounds(side);
    endMarker_->setBounds(side);
    CGPoint topLeft = a.origin;
    CGPoint bottomRight = CGPointMake(CGRectGetMaxX(a), std::floor(CGRectGetMaxY(a)));
    CGPoint bottomLeft = CGPointMake(CGRectGetMinX(a), std::floor(CGRectGetMaxY(a)));
    CGPoint topRight = CGPointMake(CGRectGetMaxX(a), std::floor(CGRectGetMinY(a)));
    startMarker_->setCenter(flipped_ ? bottomLeft : topLeft);
    endMarker_->setCenter(flipped_ ? topRight : bottomRight);
}
