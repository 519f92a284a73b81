#include "wikipedia/CBWikipediaGuideCellView.h"

#include <numbers>

#include "QuartzCore/CAGradientLayer.h"
#include "UIKit/NSString+UIKit.h"
#include "UIKit/UIFont.h"
#include "UIKit/UIImage.h"
#include "UIKit/UIImageView.h"
#include "UIKit/UILabel.h"
#include "UIKit/UIScreen.h"
#include "mapkit/VADMaskedIconView.h"
#include "uiadditions/CALayer+ZELGeometry.h"
#include "uiadditions/UIView+ZELGeometry.h"
#include "widgets/ZELShadowAnimatingView.h"

namespace {

constexpr UIEdgeInsets kShadowCurl{0, 1, 2, 1};
// A title taller than one line gets two.
constexpr CGFloat kOneLineTitle = 21;
// How far a lifted cell with a second photo moves; the photo slides six times as far.
constexpr CGFloat kLiftShift = 4;
// Made like the wrapper, with no duration of its own: Core Animation's default.
constexpr double kShadowAnimationDuration = 0.25;

CGColor white(CGFloat white, CGFloat alpha) {
    return UIColor::colorWithWhiteAlpha(white, alpha).CGColor();
}

}  // namespace

CBWikipediaGuideCellView::CBWikipediaGuideCellView(std::string reuseIdentifier)
    : ZELGridCellView(std::move(reuseIdentifier)),
      imageView_(std::make_shared<UIImageView>()),
      labelTitle_(std::make_shared<UILabel>()),
      frameLayer_(std::make_shared<CALayer>()),
      gradientLayer_(CAGradientLayer::layer()) {}

std::shared_ptr<CBWikipediaGuideCellView> CBWikipediaGuideCellView::create(
    std::string reuseIdentifier) {
    auto cell = std::make_shared<CBWikipediaGuideCellView>(std::move(reuseIdentifier));
    cell->setupView();
    return cell;
}

void CBWikipediaGuideCellView::setupView() {
    setBackgroundColor(UIColor::colorWithWhiteAlpha(0.98, 1));
    layer()->setShadowColor(white(0, 1));
    layer()->setShadowOpacity(0.6f);
    layer()->setCornerRadius(1.0);

    imageView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth |
                                    UIViewAutoresizingFlexibleHeight);
    imageView_->setContentMode(UIViewContentModeScaleAspectFill);
    imageView_->setClipsToBounds(true);
    addSubview(imageView_);

    gradientLayer_->setColors({white(0, 0), white(0, 0.4), white(0, 0.6)});
    gradientLayer_->setStartPoint({0, 0});
    gradientLayer_->setEndPoint({0, 1});
    imageView_->layer()->addSublayer(gradientLayer_);

    frameLayer_->setBorderColor(white(1, 0.5));
    frameLayer_->setBorderWidth(1.0);
    frameLayer_->setBackgroundColor(white(0, 0));
    imageView_->layer()->addSublayer(frameLayer_);

    labelTitle_->setNumberOfLines(2);
    labelTitle_->setFont(UIFont::fontWithNameSize("HelveticaNeue-CondensedBold", 16));
    labelTitle_->setAdjustsFontSizeToFitWidth(true);
    labelTitle_->setMinimumScaleFactor(0.7);
    labelTitle_->setTextColor(UIColor::colorWithWhiteAlpha(0.95, 1));
    labelTitle_->setShadowColor(UIColor::blackColor());
    labelTitle_->setShadowOffset({0, -1});
    labelTitle_->setBackgroundColor(UIColor::clearColor());
    labelTitle_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth |
                                     UIViewAutoresizingFlexibleTopMargin);
    labelTitle_->layer()->setAnchorPoint({0, 1});
    addSubview(labelTitle_);

    adjustForCurrentHightlightState();
}

std::shared_ptr<UIImageView> CBWikipediaGuideCellView::secondaryImageView() {
    if (secondaryImageView_)
        return secondaryImageView_;
    secondaryImageViewWrapper_ = std::make_shared<ZELShadowAnimatingView>(CGRectZero);
    auto& wrapper = *secondaryImageViewWrapper_;
    wrapper.setAutoresizingMask(UIViewAutoresizingNone);
    // A picture only: touches go to the cell.
    wrapper.setUserInteractionEnabled(false);
    wrapper.setBackgroundColor(UIColor::clearColor());
    wrapper.layer()->setShadowColor(white(0, 1));
    wrapper.layer()->setShadowOpacity(0.7f);
    wrapper.layer()->setBorderWidth(1.0);
    wrapper.layer()->setBorderColor(white(1, 0.5));

    secondaryImageView_ = std::make_shared<UIImageView>(CGRectMake(0, 0, 10, 10));
    secondaryImageView_->setAutoresizingMask(UIViewAutoresizingNone);
    secondaryImageView_->setContentMode(UIViewContentModeScaleAspectFill);
    secondaryImageView_->setClipsToBounds(true);
    wrapper.addSubview(secondaryImageView_);
    wrapper.layer()->setShouldRasterize(true);
    wrapper.layer()->setRasterizationScale(UIScreen::mainScreen()->scale());

    auto shade = std::make_shared<UIView>(secondaryImageView_->bounds());
    shade->setBackgroundColor(UIColor::colorWithWhiteAlpha(0, 0.25));
    shade->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    secondaryImageView_->addSubview(shade);

    insertSubviewBelowSubview(secondaryImageViewWrapper_, imageView_);
    setNeedsLayout();
    adjustForCurrentHightlightState();
    return secondaryImageView_;
}

std::shared_ptr<UILabel> CBWikipediaGuideCellView::labelRibbon() {
    if (labelRibbon_)
        return labelRibbon_;
    labelRibbon_ = std::make_shared<UILabel>();
    labelRibbon_->setTransform(CGAffineTransformMakeRotation(-std::numbers::pi / 4));
    labelRibbon_->setAutoresizingMask(UIViewAutoresizingNone);
    labelRibbon_->setTextAlignment(NSTextAlignmentCenter);
    labelRibbon_->setBackgroundColor(UIColor::clearColor());
    labelRibbon_->setTextColor(UIColor::whiteColor());
    labelRibbon_->setFont(UIFont::boldSystemFontOfSize(12));
    labelRibbon_->setShadowColor(UIColor::colorWithWhiteAlpha(0, 0.5));
    labelRibbon_->setShadowOffset({-1, 1});
    labelRibbon_->setHidden(true);
    ribbonView()->addSubview(labelRibbon_);
    setNeedsLayout();
    return labelRibbon_;
}

std::shared_ptr<UILabel> CBWikipediaGuideCellView::labelDistance() {
    if (labelDistance_)
        return labelDistance_;
    labelDistance_ = std::make_shared<UILabel>();
    labelDistance_->setTextAlignment(NSTextAlignmentLeft);
    labelDistance_->setBackgroundColor(labelTitle_->backgroundColor());
    labelDistance_->setTextColor(labelTitle_->textColor());
    labelDistance_->setShadowColor(labelTitle_->shadowColor());
    labelDistance_->setShadowOffset(labelTitle_->shadowOffset());
    labelDistance_->setFont(UIFont::fontWithNameSize(labelTitle_->font()->fontName(), 12));
    labelDistance_->layer()->setAnchorPoint({0, 1});
    addSubview(labelDistance_);
    return labelDistance_;
}

std::shared_ptr<VADMaskedIconView> CBWikipediaGuideCellView::ribbonView() {
    if (ribbonView_)
        return ribbonView_;
    ribbonView_ = std::make_shared<VADMaskedIconView>(UIImage::imageNamed("guide-ribbon"));
    ribbonView_->sizeToFit();
    ribbonView_->setGradientColors({UIColor::colorWithRedGreenBlueAlpha(0.215, 0.672, 0.278, 1),
                                    UIColor::colorWithRedGreenBlueAlpha(0.159, 0.495, 0.213, 1)});
    ribbonView_->setOuterGlowColor(UIColor::colorWithWhiteAlpha(0, 0.5));
    ribbonView_->setOuterGlowRadius(1);
    ribbonView_->setInnerGlowColor(UIColor::colorWithWhiteAlpha(1, 0.5));
    ribbonView_->setInnerGlowRadius(1);
    setZELAbsoluteAnchorPoint(ribbonView_->layer(), {2, 2});
    ribbonView_->setAutoresizingMask(UIViewAutoresizingFlexibleRightMargin |
                                     UIViewAutoresizingFlexibleBottomMargin);
    addSubview(ribbonView_);
    setNeedsLayout();
    return ribbonView_;
}

std::shared_ptr<VADMaskedIconView> CBWikipediaGuideCellView::ribbonIconView() {
    if (ribbonIconView_)
        return ribbonIconView_;
    ribbonIconView_ = std::make_shared<VADMaskedIconView>(UIImage::imageNamed("guide-ribbon-star"));
    ribbonIconView_->sizeToFit();
    ribbonIconView_->setGradientColors(
        {UIColor::colorWithWhiteAlpha(1, 1), UIColor::colorWithWhiteAlpha(0.8, 1)});
    ribbonIconView_->setOuterGlowColor(UIColor::colorWithWhiteAlpha(0, 0.5));
    ribbonIconView_->setOuterGlowRadius(2);
    ribbonIconView_->setAutoresizingMask(
        UIViewAutoresizingFlexibleLeftMargin | UIViewAutoresizingFlexibleRightMargin |
        UIViewAutoresizingFlexibleTopMargin | UIViewAutoresizingFlexibleBottomMargin);
    ribbonView()->addSubview(ribbonIconView_);
    setNeedsLayout();
    return ribbonIconView_;
}

std::shared_ptr<VADMaskedIconView> CBWikipediaGuideCellView::disclosureIndicatorView() {
    if (disclosureIndicatorView_)
        return disclosureIndicatorView_;
    disclosureIndicatorView_ =
        std::make_shared<VADMaskedIconView>(std::string("disclosure-indicator"));
    disclosureIndicatorView_->sizeToFit();
    disclosureIndicatorView_->layer()->setAnchorPoint({1.5, 0.5});
    disclosureIndicatorView_->setGradientColors(
        {UIColor::colorWithWhiteAlpha(1, 1), UIColor::colorWithWhiteAlpha(0.8, 1)});
    disclosureIndicatorView_->setOuterGlowColor(UIColor::colorWithWhiteAlpha(0, 0.95));
    disclosureIndicatorView_->setOuterGlowRadius(2);
    disclosureIndicatorView_->setAutoresizingMask(UIViewAutoresizingFlexibleLeftMargin |
                                                  UIViewAutoresizingFlexibleTopMargin |
                                                  UIViewAutoresizingFlexibleBottomMargin);
    addSubview(disclosureIndicatorView_);
    setNeedsLayout();
    return disclosureIndicatorView_;
}

void CBWikipediaGuideCellView::setTitleText(const std::string& text) {
    labelTitle_->setText(text);
    setNeedsLayout();
}

void CBWikipediaGuideCellView::setLabelDistanceText(const std::optional<std::string>& text) {
    if (!labelDistance_ && (!text || text->empty()))
        return;
    labelDistance()->setText(text.value_or(""));
    setNeedsLayout();
}

template <class Part>
void CBWikipediaGuideCellView::setPartHidden(
    const std::shared_ptr<Part>& made, std::shared_ptr<Part> (CBWikipediaGuideCellView::*make)(),
    bool hidden) {
    if (hidden && !made)
        return;
    (this->*make)()->setHidden(hidden);
}

void CBWikipediaGuideCellView::setLabelDistanceHidden(bool hidden) {
    setPartHidden(labelDistance_, &CBWikipediaGuideCellView::labelDistance, hidden);
}

void CBWikipediaGuideCellView::setRibbonHidden(bool hidden) {
    setPartHidden(ribbonView_, &CBWikipediaGuideCellView::ribbonView, hidden);
}

void CBWikipediaGuideCellView::setRibbonIconHidden(bool hidden) {
    setPartHidden(ribbonIconView_, &CBWikipediaGuideCellView::ribbonIconView, hidden);
}

void CBWikipediaGuideCellView::setRibbonLabelHidden(bool hidden) {
    setPartHidden(labelRibbon_, &CBWikipediaGuideCellView::labelRibbon, hidden);
}

void CBWikipediaGuideCellView::setDisclosureIndicatorHidden(bool hidden) {
    setPartHidden(disclosureIndicatorView_, &CBWikipediaGuideCellView::disclosureIndicatorView,
                  hidden);
}

void CBWikipediaGuideCellView::setSecondaryImageHidden(bool hidden) {
    if (hidden && !secondaryImageViewWrapper_)
        return;
    secondaryImageView();
    if (secondaryImageViewWrapper_->isHidden() == hidden)
        return;
    secondaryImageViewWrapper_->setHidden(hidden);
    adjustForCurrentHightlightState();
}

bool CBWikipediaGuideCellView::isSecondaryImageShown() const {
    return secondaryImageViewWrapper_ && !secondaryImageViewWrapper_->isHidden();
}

void CBWikipediaGuideCellView::setSecondaryImageRotation(CGFloat angle) {
    secondaryImageRotation_ = angle;
    if (secondaryImageViewWrapper_)
        secondaryImageViewWrapper_->setTransform(CGAffineTransformMakeRotation(angle));
}

void CBWikipediaGuideCellView::setHighlighted(bool highlighted) {
    if (highlighted == isHighlighted())
        return;
    ZELGridCellView::setHighlighted(highlighted);
    if (auto parent = superview())
        parent->bringSubviewToFront(std::static_pointer_cast<UIView>(shared_from_this()));
    adjustForCurrentHightlightState();
}

void CBWikipediaGuideCellView::setHighlightedAnimated(bool highlighted, bool animated) {
    if (!animated) {
        setHighlighted(highlighted);
        return;
    }
    std::weak_ptr<UIResponder> weak = weak_from_this();
    UIView::animateWithDurationDelayOptionsAnimationsCompletion(
        0.25, 0, UIViewAnimationOptionAllowUserInteraction,
        [weak, highlighted] {
            if (auto cell = std::static_pointer_cast<CBWikipediaGuideCellView>(weak.lock()))
                cell->setHighlighted(highlighted);
        },
        nullptr);
}

void CBWikipediaGuideCellView::adjustForCurrentHightlightState() {
    const bool lifted = isHighlighted();
    const CGFloat radius = lifted ? 4 : 2;
    layer()->setShadowRadius(radius);
    layer()->setShadowOffset({0, radius});
    gradientLayer_->setOpacity(lifted ? 0.25f : 1.0f);
    frameLayer_->setBackgroundColor(white(1, lifted ? 0.05 : 0));
    const CGFloat scale = lifted ? 1.05 : 1.0;
    const CGFloat shift = lifted && isSecondaryImageShown() ? kLiftShift : 0;
    auto parent = superview();
    const CGFloat direction = center().x > (parent ? parent->bounds().size.width : 0) / 2 ? -1 : 1;
    setTransform(CGAffineTransformTranslate(CGAffineTransformMakeScale(scale, scale),
                                            -shift * direction, shift));
    if (!secondaryImageViewWrapper_)
        return;
    secondaryImageViewWrapper_->layer()->setShadowRadius(radius / 2);
    secondaryImageViewWrapper_->layer()->setShadowOffset({0, radius / 2});
    if (!isSecondaryImageShown())
        return;
    secondaryImageViewWrapper_->setTransform(
        CGAffineTransformRotate(CGAffineTransformMakeTranslation(6 * shift * direction, -6 * shift),
                                secondaryImageRotation_ * (lifted ? -1 : 1)));
}

void CBWikipediaGuideCellView::updateShadowPath() {
    if (auto self = weak_from_this().lock())
        setShadowPathToBoundsWithEdgeCurlEffect(std::static_pointer_cast<UIView>(self),
                                                kShadowCurl);
}

void CBWikipediaGuideCellView::setBounds(const CGRect& bounds) {
    ZELGridCellView::setBounds(bounds);
    updateShadowPath();
}

void CBWikipediaGuideCellView::setFrame(const CGRect& frame) {
    ZELGridCellView::setFrame(frame);
    updateShadowPath();
}

void CBWikipediaGuideCellView::layoutSubviews() {
    ZELGridCellView::layoutSubviews();
    const CGFloat width = bounds().size.width, height = bounds().size.height;
    imageView_->setFrame(bounds());
    frameLayer_->setFrame(imageView_->bounds());

    if (secondaryImageViewWrapper_) {
        secondaryImageViewWrapper_->setBounds(CGRectMake(0, 0, width + 2, height + 2));
        setShadowPathToBoundsWithEdgeCurlEffect(secondaryImageViewWrapper_, kShadowCurl);
        secondaryImageViewWrapper_->setCenter(imageView_->center());
        secondaryImageView_->setFrame(CGRectMake(1, 1, width, height));
    }
    if (ribbonView_)
        ribbonView_->setCenter({0, 0});
    if (ribbonIconView_)
        ribbonIconView_->setCenter({17, 16});
    if (labelRibbon_) {
        labelRibbon_->setBounds(CGRectMake(0, 0, 35, 16));
        labelRibbon_->setCenter({17, 16});
    }
    if (disclosureIndicatorView_)
        setSharpCenter_zel(disclosureIndicatorView_, {width, height * 0.5});

    NSStringDrawingAttributes attributes;
    attributes.font = labelTitle_->font();
    attributes.lineBreakMode = NSLineBreakByTruncatingTail;
    const CGRect measured = boundingRectWithSizeOptionsAttributes(
        labelTitle_->text(), CGSizeMake(width - 10, height),
        NSStringDrawingUsesLineFragmentOrigin | NSStringDrawingTruncatesLastVisibleLine,
        attributes);
    const bool twoLines = measured.size.height > kOneLineTitle;
    const CGFloat titleHeight = twoLines ? 2 * kOneLineTitle : kOneLineTitle;
    labelTitle_->setNumberOfLines(twoLines ? 2 : 1);
    labelTitle_->setBounds(CGRectMake(0, 0, width - 10, titleHeight));
    labelTitle_->setCenter({5, height - 2});

    CGFloat distanceHeight = 0;
    if (labelDistance_) {
        labelDistance_->sizeToFit();
        labelDistance_->setCenter(labelTitle_->frame().origin);
        distanceHeight = labelDistance_->bounds().size.height;
    }
    const CGFloat gradient = titleHeight + 10 + distanceHeight;
    gradientLayer_->setFrame(CGRectMake(0, height - gradient, width, gradient));
}

void CBWikipediaGuideCellView::touchesBegan(const UITouchSet& touches, UIEvent* event) {
    ZELGridCellView::touchesBegan(touches, event);
    setHighlightedAnimated(true, true);
}

void CBWikipediaGuideCellView::touchesEnded(const UITouchSet& touches, UIEvent* event) {
    ZELGridCellView::touchesEnded(touches, event);
    setHighlightedAnimated(false, true);
}

void CBWikipediaGuideCellView::touchesCancelled(const UITouchSet& touches, UIEvent* event) {
    ZELGridCellView::touchesCancelled(touches, event);
    setHighlightedAnimated(false, true);
}

std::optional<std::shared_ptr<CAAnimation>> CBWikipediaGuideCellView::actionForLayerForKey(
    CALayer& layer, const std::string& key) {
    return ZELShadowAnimatingView::shadowActionForKey(
        ZELGridCellView::actionForLayerForKey(layer, key), key, kShadowAnimationDuration);
}
