#include "mapkit/CBAnnotationCalloutView.h"

#include <algorithm>
#include <cmath>

#include "QuartzCore/CAAnimation.h"
#include "QuartzCore/CAMediaTimingFunction.h"
#include "QuartzCore/CAShapeLayer.h"
#include "QuartzCore/CATransaction.h"
#include "UIKit/NSString+UIKit.h"
#include "UIKit/UIFont.h"
#include "UIKit/UILabel.h"
#include "UIKit/UILongPressGestureRecognizer.h"
#include "UIKit/UIScreen.h"
#include "UIKit/UITouch.h"

namespace {

constexpr CGFloat kMinimumWidth = 150;
constexpr CGFloat kMaximumWidth = 280;
constexpr CGFloat kCorner = 7;
constexpr CGFloat kArrowWidth = 27;
constexpr CGFloat kArrowHeight = 12.5;

std::shared_ptr<UILabel> makeLabel(const char* font, CGFloat size) {
    auto label = std::make_shared<UILabel>();
    label->setFont(UIFont::fontWithNameSize(font, size));
    label->setAdjustsFontSizeToFitWidth(true);
    label->setMinimumScaleFactor(12.0 / size);
    label->setTextColor(UIColor::blackColor());
    label->setBackgroundColor(UIColor::clearColor());
    return label;
}

CGSize textSize(const UILabel& label) {
    return label.text().empty() ? CGSizeZero : sizeWithFont(label.text(), label.font());
}

}  // namespace

std::shared_ptr<CBAnnotationCalloutView> CBAnnotationCalloutView::create(const CGRect& frame) {
    auto callout = std::make_shared<CBAnnotationCalloutView>(frame);
    callout->addSubview(callout->title_);
    callout->addSubview(callout->subTitle_);
    return callout;
}

CBAnnotationCalloutView::CBAnnotationCalloutView(const CGRect& frame) {
    setFrame(frame);
    setBackgroundColor(UIColor::clearColor());
    layer()->setAnchorPoint(CGPointMake(0.5, 1.0));
    bubbleLayer_ = std::make_shared<CAShapeLayer>();
    bubbleLayer_->setFillColor(UIColor::whiteColor().CGColor());
    bubbleLayer_->setStrokeColor(UIColor::colorWithWhiteAlpha(0, 0.1).CGColor());
    CGFloat scale = UIScreen::mainScreen() ? UIScreen::mainScreen()->scale() : 1;
    bubbleLayer_->setLineWidth(1.0 / std::max<CGFloat>(scale, 1));
    layer()->addSublayer(bubbleLayer_);
    title_ = makeLabel("HelveticaNeue-Light", 18);
    subTitle_ = makeLabel("HelveticaNeue", 14);
    setUserInteractionEnabled(true);
}

void CBAnnotationCalloutView::setTitleText(const std::string& text) {
    title_->setText(text);
    setNeedsLayout();
}

void CBAnnotationCalloutView::setSubtitleText(const std::string& text) {
    subTitle_->setText(text);
    subTitle_->setHidden(text.empty());
    setNeedsLayout();
}

void CBAnnotationCalloutView::setAnnotationAnimated(const CBAnnotationRef& annotation,
                                                    bool animated) {
    CBAnnotationView::setAnnotation(annotation);
    if (annotation) {
        setTitleText(annotation->title().value_or(""));
        setSubtitleText(annotation->subtitle().value_or(""));
        setFrameToFit();
        setHidden(false);
    }
    if (!animated) {
        if (!annotation) {
            setHidden(true);
            prepareForReuse();
        }
    } else if (annotation) {
        addAppearAnimation();
    } else {
        addDisappearAnimation();
    }
    setNeedsLayout();
}

void CBAnnotationCalloutView::setAccessoryViewLeftRight(std::shared_ptr<UIView> left,
                                                        std::shared_ptr<UIView> right) {
    if (leftCalloutAccessoryView())
        leftCalloutAccessoryView()->removeFromSuperview();
    if (rightCalloutAccessoryView())
        rightCalloutAccessoryView()->removeFromSuperview();
    setLeftCalloutAccessoryView(std::move(left));
    setRightCalloutAccessoryView(std::move(right));
    if (rightCalloutAccessoryView())
        addSubview(rightCalloutAccessoryView());
    if (leftCalloutAccessoryView())
        addSubview(leftCalloutAccessoryView());
    setFrameToFit();
    setNeedsLayout();
}

void CBAnnotationCalloutView::prepareForReuse() {
    if (leftCalloutAccessoryView())
        leftCalloutAccessoryView()->removeFromSuperview();
    if (rightCalloutAccessoryView())
        rightCalloutAccessoryView()->removeFromSuperview();
    CBAnnotationView::prepareForReuse();
}

void CBAnnotationCalloutView::setFrameToFit() {
    if (fixedWidth_)
        return;
    CGSize titleSize = textSize(*title_);
    CGSize subtitleSize = textSize(*subTitle_);
    CGFloat extra = 0;
    if (auto right = rightCalloutAccessoryView())
        extra += right->frame().size.width + 10;
    if (auto left = leftCalloutAccessoryView())
        extra += left->frame().size.width + 10;
    CGFloat width = std::clamp(extra + std::max(titleSize.width, subtitleSize.width), kMinimumWidth,
                               kMaximumWidth);
    CGFloat height = std::max(2 * std::max(titleSize.height, subtitleSize.height), kBodyHeight);
    setBounds(CGRectMake(0, 0, width, height));
    setNeedsLayout();
}

void CBAnnotationCalloutView::setFrame(const CGRect& frame) {
    CGFloat oldHeight = bounds().size.height;
    CGRect rounded = CGRectMake(std::floor(frame.origin.x), std::floor(frame.origin.y),
                                std::round(frame.size.width), std::round(frame.size.height));
    // The anchor sits on the arrow's tip, 10 points below the body.
    if (rounded.size.height != oldHeight && rounded.size.height > 1) {
        CGPoint anchor = layer()->anchorPoint();
        layer()->setAnchorPoint(CGPointMake(anchor.x, 1 + 10 / rounded.size.height));
    }
    CBAnnotationView::setFrame(rounded);
}

void CBAnnotationCalloutView::setCenter(CGPoint center) {
    UIView::setCenter(center);
    if (CGAffineTransformIsIdentity(transform()))
        setFrame(frame());
}

void CBAnnotationCalloutView::layoutSubviews() {
    CGRect b = bounds();
    CGFloat W = b.size.width;
    CGFloat H = b.size.height;
    int lines = title_->text().empty() ? 1 : (subTitle_->text().empty() ? 1 : 2);
    CGFloat right = 0;
    CGFloat left = 0;
    if (auto view = rightCalloutAccessoryView()) {
        CGRect f = view->frame();
        view->setFrame(CGRectMake(W - 5 - f.size.width, std::floor((H - f.size.height) * 0.5),
                                  f.size.width, f.size.height));
        right = f.size.width + 10;
    }
    if (auto view = leftCalloutAccessoryView()) {
        CGRect f = view->frame();
        view->setFrame(
            CGRectMake(5, std::floor((H - f.size.height) * 0.5), f.size.width, f.size.height));
        left = f.size.width + 10;
    }
    CGRect row = CGRectIntegral(
        CGRectInset(CGRectMake(0, 2, std::round(W), std::floor((H - 4) / lines)), 7, 0));
    CGRect titleFrame = CGRectMake(row.origin.x + left, row.origin.y, row.size.width - left - right,
                                   row.size.height);
    title_->setFrame(titleFrame);
    subTitle_->setFrame(lines == 2 ? CGRectOffset(titleFrame, 0, titleFrame.size.height)
                                   : titleFrame);
    setupBubblePath();
}

void CBAnnotationCalloutView::setupBubblePath() {
    CGRect b = bounds();
    bubbleLayer_->setFrame(b);
    CGFloat minX = CGRectGetMinX(b);
    CGFloat minY = CGRectGetMinY(b);
    CGFloat maxX = CGRectGetMaxX(b);
    CGFloat bodyBottom = minY + kBodyHeight;
    CGFloat tip = b.size.width * layer()->anchorPoint().x + 1;
    CGRect arrow =
        CGRectMake(minX + tip - kArrowWidth * 0.5, bodyBottom, kArrowWidth, kArrowHeight);
    CGPath path;
    path.moveToPoint(CGPointMake(minX, bodyBottom - kCorner));
    path.addCurveToPoint(CGPointMake(minX, bodyBottom - 3.5), CGPointMake(minX + 3.5, bodyBottom),
                         CGPointMake(minX + kCorner, bodyBottom));
    path.addLineToPoint(CGPointMake(CGRectGetMinX(arrow), CGRectGetMinY(arrow)));
    path.addCurveToPoint(CGPointMake(CGRectGetMinX(arrow) + 5, CGRectGetMinY(arrow)),
                         CGPointMake(tip - 5, CGRectGetMaxY(arrow)),
                         CGPointMake(CGRectGetMidX(arrow), CGRectGetMaxY(arrow)));
    path.addCurveToPoint(CGPointMake(tip + 5, CGRectGetMaxY(arrow)),
                         CGPointMake(CGRectGetMaxX(arrow) - 5, CGRectGetMinY(arrow)),
                         CGPointMake(CGRectGetMaxX(arrow), CGRectGetMinY(arrow)));
    path.addLineToPoint(CGPointMake(maxX - kCorner, bodyBottom));
    path.addCurveToPoint(CGPointMake(maxX - 3.5, bodyBottom), CGPointMake(maxX, bodyBottom - 3.5),
                         CGPointMake(maxX, bodyBottom - kCorner));
    path.addLineToPoint(CGPointMake(maxX, minY + kCorner));
    path.addCurveToPoint(CGPointMake(maxX, minY + 3.5), CGPointMake(maxX - 3.5, minY),
                         CGPointMake(maxX - kCorner, minY));
    path.addLineToPoint(CGPointMake(minX + kCorner, minY));
    path.addCurveToPoint(CGPointMake(minX + 3.5, minY), CGPointMake(minX, minY + 3.5),
                         CGPointMake(minX, minY + kCorner));
    path.addLineToPoint(CGPointMake(minX, bodyBottom - kCorner));
    path.closeSubpath();
    bubbleLayer_->setPath(path);
    bubbleLayer_->setShadowPath(path);
}

void CBAnnotationCalloutView::setBubbleHighlighted(bool flag) {
    bubbleHighlighted_ = flag;
    bubbleLayer_->setFillColor(UIColor::colorWithWhiteAlpha(flag ? 0.9 : 1.0, 1).CGColor());
}

void CBAnnotationCalloutView::addAppearAnimation() {
    auto boing = CAKeyframeAnimation::animationWithKeyPath("transform.scale");
    boing->setValues({CGFloat(0.7), CGFloat(1.1), CGFloat(0.95), CGFloat(1.0)});
    boing->setTimingFunction(
        CAMediaTimingFunction::functionWithName(kCAMediaTimingFunctionEaseOut));
    boing->setDuration(0.6);
    layer()->addAnimation(boing, "boing");
    auto appear = CABasicAnimation::animationWithKeyPath("opacity");
    appear->setFromValue(CGFloat(0));
    appear->setDuration(0.4);
    layer()->addAnimation(appear, "appear");
}

void CBAnnotationCalloutView::addDisappearAnimation() {
    layer()->setOpacity(0);
    std::weak_ptr<CBAnnotationCalloutView> weak =
        std::static_pointer_cast<CBAnnotationCalloutView>(shared_from_this());
    CATransaction::begin();
    CATransaction::setCompletionBlock([weak] {
        auto self = weak.lock();
        // A new annotation shown meanwhile keeps the bubble.
        if (!self || self->annotation())
            return;
        self->setHidden(true);
        self->layer()->setOpacity(1);
        self->removeFromSuperview();
        self->prepareForReuse();
    });
    auto scale = CABasicAnimation::animationWithKeyPath("transform.scale");
    scale->setToValue(CGFloat(0.6));
    scale->setTimingFunction(CAMediaTimingFunction::functionWithName(kCAMediaTimingFunctionEaseIn));
    scale->setDuration(0.33);
    layer()->addAnimation(scale, "transform.scale");
    auto fade = CABasicAnimation::animationWithKeyPath("opacity");
    fade->setFromValue(CGFloat(1));
    fade->setToValue(CGFloat(0));
    fade->setDuration(0.33);
    layer()->addAnimation(fade, "opacity");
    CATransaction::commit();
}

void CBAnnotationCalloutView::setTargetAction(std::weak_ptr<void> target, TapSelector selector) {
    if (longPressGesture_)
        removeGestureRecognizer(longPressGesture_);
    longPressGesture_ = nullptr;
    tapTarget_ = std::move(target);
    tapSelector_ = std::move(selector);
    if (tapTarget_.expired() || !tapSelector_)
        return;
    std::weak_ptr<CBAnnotationCalloutView> weak =
        std::static_pointer_cast<CBAnnotationCalloutView>(shared_from_this());
    longPressGesture_ =
        std::make_shared<UILongPressGestureRecognizer>([weak](UIGestureRecognizer& r) {
            if (auto self = weak.lock())
                self->handlePress(r);
        });
    longPressGesture_->setMinimumPressDuration(0.01);
    longPressGesture_->setDelegate(
        std::static_pointer_cast<CBAnnotationCalloutView>(shared_from_this()));
    addGestureRecognizer(longPressGesture_);
}

void CBAnnotationCalloutView::handlePress(UIGestureRecognizer& recognizer) {
    switch (recognizer.state()) {
        case UIGestureRecognizerStateBegan:
            setBubbleHighlighted(true);
            break;
        case UIGestureRecognizerStateEnded:
            if (bubbleHighlighted_) {
                setBubbleHighlighted(false);
                if (auto target = tapTarget_.lock(); target && tapSelector_)
                    tapSelector_(target.get(), *this);
            }
            break;
        default:
            // A finger that moves or is cancelled calls nothing.
            setBubbleHighlighted(false);
            break;
    }
}

bool CBAnnotationCalloutView::gestureRecognizerShouldReceiveTouch(UIGestureRecognizer&,
                                                                  UITouch& touch) {
    auto self = std::static_pointer_cast<UIView>(shared_from_this());
    CGPoint p = touch.locationInView(self);
    CGRect t = title_->frame();
    CGRect s = subTitle_->frame();
    CGFloat minX = std::min(CGRectGetMinX(t), CGRectGetMinX(s));
    CGFloat maxX = std::max(CGRectGetMaxX(t), CGRectGetMaxX(s));
    return CGRectContainsPoint(bubbleLayer_->frame(), p) && p.x >= minX && p.x <= maxX;
}
