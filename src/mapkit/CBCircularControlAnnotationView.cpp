#include "mapkit/CBCircularControlAnnotationView.h"

#include <algorithm>
#include <cmath>

#include "QuartzCore/CAAnimation.h"
#include "QuartzCore/CAMediaTimingFunction.h"
#include "QuartzCore/CAShapeLayer.h"
#include "QuartzCore/CATransaction.h"
#include "UIKit/UILabel.h"
#include "mapkit/VADMaskedIconView.h"
#include "mapkit/VADStyleTrait.h"

namespace {

constexpr int kPlaceholderButtons = 7;

CGPath ovalPath(const CGRect& rect) {
    CGPath path;
    path.addEllipseInRect(rect);
    return path;
}

}  // namespace

CBCircularControlAnnotationViewButton::CBCircularControlAnnotationViewButton()
    : UIButton(CGRectZero, UIButtonTypeCustom),
      background_(std::make_shared<CAShapeLayer>()),
      iconView_(std::make_shared<VADMaskedIconView>()) {
    layer()->addSublayer(background_);
    iconView_->setUserInteractionEnabled(false);
    iconView_->setTrait(*VADStyleTrait::iconTraitWithColor(tintColor()));
}

std::shared_ptr<CBCircularControlAnnotationViewButton>
CBCircularControlAnnotationViewButton::button() {
    auto button = std::make_shared<CBCircularControlAnnotationViewButton>();
    button->addSubview(button->iconView_);
    return button;
}

std::shared_ptr<CBCircularControlAnnotationViewButton>
CBCircularControlAnnotationViewButton::defaultButton() {
    auto button = CBCircularControlAnnotationViewButton::button();
    button->setBounds(CGRectMake(0, 0, kSide, kSide));
    button->background_->setFillColor(UIColor::colorWithWhiteAlpha(1, 0.75).CGColor());
    button->background_->setStrokeColor(button->tintColor().CGColor());
    button->background_->setLineWidth(1.0);
    button->background_->setPath(ovalPath(button->bounds()));
    return button;
}

void CBCircularControlAnnotationViewButton::tintColorDidChange() {
    UIButton::tintColorDidChange();
    iconView_->setTrait(*VADStyleTrait::iconTraitWithColor(tintColor()));
    background_->setStrokeColor(tintColor().CGColor());
}

void CBCircularControlAnnotationViewButton::layoutSubviews() {
    UIButton::layoutSubviews();
    CGRect b = bounds();
    background_->setFrame(b);
    iconView_->setCenter(CGPointMake(CGRectGetMidX(b), CGRectGetMidY(b)));
}

void CBCircularControlAnnotationViewButton::setHighlighted(bool highlighted) {
    UIButton::setHighlighted(highlighted);
    std::weak_ptr<UIView> weak = std::static_pointer_cast<UIView>(shared_from_this());
    CGFloat scale = highlighted ? 1.25 : 1.0;
    UIView::
        animateWithDurationDelayUsingSpringWithDampingInitialSpringVelocityOptionsAnimationsCompletion(
            0.5, 0, 0.5, 1.0, UIViewAnimationOptionAllowUserInteraction,
            [weak, scale] {
                if (auto view = weak.lock())
                    view->setTransform(CGAffineTransformMakeScale(scale, scale));
            },
            nullptr);
}

std::shared_ptr<CBCircularControlAnnotationView> CBCircularControlAnnotationView::create(
    CBAnnotationRef annotation, std::optional<std::string> reuseIdentifier) {
    auto view = std::make_shared<CBCircularControlAnnotationView>(std::move(annotation),
                                                                  std::move(reuseIdentifier));
    std::vector<std::shared_ptr<Button>> placeholders;
    for (int i = 0; i < kPlaceholderButtons; ++i)
        placeholders.push_back(Button::defaultButton());
    view->setButtons(std::move(placeholders));
    return view;
}

CBCircularControlAnnotationView::CBCircularControlAnnotationView(
    CBAnnotationRef annotation, std::optional<std::string> reuseIdentifier)
    : CBAnnotationView(std::move(annotation), std::move(reuseIdentifier)),
      centerShapeLayer_(std::make_shared<CAShapeLayer>()) {
    setCanShowCallout(false);
    centerShapeLayer_->setFillColor(UIColor::colorWithWhiteAlpha(1, 0.4).CGColor());
    centerShapeLayer_->setFillRule(CAFillRule::EvenOdd);
    layer()->insertSublayerAtIndex(centerShapeLayer_, 0);
    setUserInteractionEnabled(true);
}

void CBCircularControlAnnotationView::setButtons(std::vector<std::shared_ptr<Button>> buttons) {
    for (const auto& old : buttons_)
        old->removeFromSuperview();
    buttons_ = std::move(buttons);
    std::weak_ptr<CBCircularControlAnnotationView> weak =
        std::static_pointer_cast<CBCircularControlAnnotationView>(shared_from_this());
    for (const auto& button : buttons_) {
        if (std::find(wired_.begin(), wired_.end(), button.get()) == wired_.end()) {
            button->addTargetForControlEvents(
                [weak](UIControl& sender) {
                    if (auto view = weak.lock())
                        view->buttonTapped(static_cast<const Button&>(sender));
                },
                UIControlEventTouchUpInside);
            wired_.push_back(button.get());
        }
        addSubview(button);
    }
    setNeedsLayout();
}

void CBCircularControlAnnotationView::setIcons(const std::vector<std::shared_ptr<UIImage>>& icons) {
    std::vector<std::shared_ptr<Button>> buttons;
    for (const auto& icon : icons) {
        auto button = Button::defaultButton();
        button->iconView()->configureWithImage(icon);
        button->iconView()->sizeToFit();
        buttons.push_back(std::move(button));
    }
    setButtons(std::move(buttons));
    appearAnimation();
}

void CBCircularControlAnnotationView::buttonTapped(const Button& button) {
    auto it = std::find_if(buttons_.begin(), buttons_.end(),
                           [&](const auto& b) { return b.get() == &button; });
    if (it == buttons_.end())
        return;  // replaced meanwhile
    if (auto d = delegate())
        d->circularControlAnnoationViewDidTapButtonAtIndex(*this, size_t(it - buttons_.begin()));
}

void CBCircularControlAnnotationView::layoutSubviews() {
    CGRect b = bounds();
    CGFloat W = b.size.width;
    CGFloat H = b.size.height;
    if (buttons_.empty() || W <= 0 || H <= 0)
        return;
    CGFloat r = W * 0.5 - kBand / 2;
    double step = 2 * M_PI / double(buttons_.size());
    for (size_t i = 0; i < buttons_.size(); ++i) {
        double a = -M_PI_2 - double(i) * step;
        buttons_[i]->setCenter(CGPointMake(W / 2 + r * std::cos(a), H / 2 - r * std::sin(a)));
    }
    centerShapeLayer_->setFrame(b);
    CGPath ring = ovalPath(b);
    ring.addEllipseInRect(CGRectInset(b, kBand, kBand));
    centerShapeLayer_->setPath(ring);
}

void CBCircularControlAnnotationView::appearAnimation() {
    layoutIfNeeded();
    for (const auto& button : buttons_)
        button->setTransform(CGAffineTransformMakeScale(0, 0));
    auto buttons = buttons_;
    UIView::animateWithDurationDelayOptionsAnimationsCompletion(
        0.4, 0, UIViewAnimationOptionCurveEaseOut,
        [buttons] {
            for (const auto& button : buttons)
                button->setTransform(CGAffineTransformIdentity);
        },
        nullptr);
    animateCenterOpacityFromTo(0, 1);
}

void CBCircularControlAnnotationView::dismissAnimatedWithCompletion(
    std::function<void()> completion) {
    auto buttons = buttons_;
    UIView::animateWithDurationDelayOptionsAnimationsCompletion(
        0.8, 0, UIViewAnimationOptionCurveEaseOut,
        [buttons] {
            for (const auto& button : buttons)
                button->setTransform(CGAffineTransformMakeScale(0, 0));
        },
        [completion](bool) {
            if (completion)
                completion();
        });
    animateCenterOpacityFromTo(1, 0);
}

void CBCircularControlAnnotationView::animateCenterOpacityFromTo(float from, float to) {
    centerShapeLayer_->setOpacity(to);
    auto fade = CABasicAnimation::animationWithKeyPath("opacity");
    fade->setFromValue(CGFloat(from));
    fade->setToValue(CGFloat(to));
    fade->setDuration(0.5);
    fade->setTimingFunction(CAMediaTimingFunction::functionWithName(kCAMediaTimingFunctionEaseOut));
    centerShapeLayer_->addAnimation(fade, "opacity");
}

std::shared_ptr<CBLabelledShapeAnnotationView> CBLabelledShapeAnnotationView::create(
    CBAnnotationRef annotation, std::optional<std::string> reuseIdentifier) {
    auto view = std::make_shared<CBLabelledShapeAnnotationView>(std::move(annotation),
                                                                std::move(reuseIdentifier));
    view->addSubview(view->label_);
    return view;
}

CBLabelledShapeAnnotationView::CBLabelledShapeAnnotationView(
    CBAnnotationRef annotation, std::optional<std::string> reuseIdentifier)
    : CBAnnotationView(std::move(annotation), std::move(reuseIdentifier)),
      label_(std::make_shared<UILabel>()),
      shapeLayer_(std::make_shared<CAShapeLayer>()) {
    label_->setBackgroundColor(UIColor::clearColor());
    layer()->addSublayer(shapeLayer_);
}

void CBLabelledShapeAnnotationView::layoutSubviews() {
    CGRect b = bounds();
    shapeLayer_->setFrame(b);
    const UIEdgeInsets& i = labelInset_;
    label_->setFrame(CGRectMake(i.left, i.top, b.size.width - i.left - i.right,
                                b.size.height - i.top - i.bottom));
}
