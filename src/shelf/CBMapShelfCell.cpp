#include "shelf/CBMapShelfCell.h"

#include <algorithm>

#include "CoreGraphics/CGPath.h"
#include "QuartzCore/CAShapeLayer.h"
#include "UIKit/UIButton.h"
#include "UIKit/UIFont.h"
#include "UIKit/UIImage.h"
#include "UIKit/UIImageView.h"
#include "UIKit/UILabel.h"
#include "shelf/CBMapShelfImages.h"
#include "widgets/ZELCircularProgressView.h"

namespace {
constexpr CGFloat kBandHeight = 32;
constexpr CGFloat kButtonSize = 30;
// The status strip sits between the top edge's buttons and the ring.
constexpr CGFloat kStatusTop = 22;
constexpr CGFloat kStatusHeight = 16;

// The band's outline: full height at both ends, a soft notch down to 30 %
// of its height between 35 % and 65 % of its width.
CGPath bandMaskPath(const CGRect& bounds) {
    const CGFloat x0 = CGRectGetMinX(bounds), y0 = CGRectGetMinY(bounds);
    const CGFloat w = bounds.size.width, h = bounds.size.height;
    CGPath path;
    path.moveToPoint({x0, y0});
    path.addCurveToPoint({x0, y0}, {x0 + 0.15 * w, y0}, {x0 + 0.2 * w, y0});
    path.addCurveToPoint({x0 + 0.25 * w, y0}, {x0 + 0.25 * w, y0 + 0.3 * h},
                         {x0 + 0.35 * w, y0 + 0.3 * h});
    path.addCurveToPoint({x0 + 0.45 * w, y0 + 0.3 * h}, {x0 + 0.55 * w, y0 + 0.3 * h},
                         {x0 + 0.65 * w, y0 + 0.3 * h});
    path.addCurveToPoint({x0 + 0.75 * w, y0 + 0.3 * h}, {x0 + 0.75 * w, y0}, {x0 + 0.8 * w, y0});
    path.addCurveToPoint({x0 + 0.85 * w, y0}, {x0 + w, y0}, {x0 + w, y0});
    path.addLineToPoint({x0 + w, CGRectGetMaxY(bounds)});
    path.addLineToPoint({x0, CGRectGetMaxY(bounds)});
    path.addLineToPoint({x0, y0});
    path.closeSubpath();
    return path;
}
}  // namespace

CBMapShelfCell::CBMapShelfCell(const CGRect& frame) : UICollectionViewCell(frame) {
    buildSubviews();
}

// The cell's view tree: the cover fills the cell, the band lies along its
// bottom, the delete button sits at the top left and the info button at the
// top right; the clipping view covers the whole cell.
void CBMapShelfCell::buildSubviews() {
    const CGRect bounds = contentView()->bounds();
    const CGFloat width = bounds.size.width;
    auto clipping = std::make_shared<UIView>(bounds);
    clipping->setAutoresizingMask(UIViewAutoresizingFlexibleWidth |
                                  UIViewAutoresizingFlexibleHeight);
    clipping->setClipsToBounds(true);
    clipping->setBackgroundColor(UIColor::clearColor());
    contentView()->addSubview(clipping);
    clippingView_ = clipping;

    imageView_ = std::make_shared<UIImageView>(bounds);
    imageView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth |
                                    UIViewAutoresizingFlexibleHeight);
    imageView_->setContentMode(UIViewContentModeScaleAspectFill);
    imageView_->setClipsToBounds(true);
    imageView_->setBackgroundColor(UIColor::colorWithWhiteAlpha(0.85, 1));
    imageView_->layer()->setBorderColor(UIColor::colorWithWhiteAlpha(1, 0.5).CGColor());
    imageView_->layer()->setBorderWidth(1.0);
    clipping->addSubview(imageView_);

    labelBackground_ = std::make_shared<UIImageView>();
    labelBackground_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth |
                                          UIViewAutoresizingFlexibleTopMargin);
    labelBackground_->setContentMode(UIViewContentModeBottom);
    labelBackground_->setClipsToBounds(true);
    labelBackground_->setBackgroundColor(UIColor::colorWithWhiteAlpha(1, 0.65));
    labelBackground_->layer()->setBorderWidth(1.0);
    labelBackground_->layer()->setBorderColor(UIColor::colorWithWhiteAlpha(1, 0.25).CGColor());
    clipping->addSubview(labelBackground_);

    label_ = std::make_shared<UILabel>();
    label_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth |
                                UIViewAutoresizingFlexibleTopMargin);
    label_->setFont(UIFont::boldSystemFontOfSize(12));
    label_->setTextAlignment(NSTextAlignmentCenter);
    label_->setAdjustsFontSizeToFitWidth(true);
    label_->setBackgroundColor(UIColor::clearColor());
    clipping->addSubview(label_);
    placeBandAndLabel();

    statusLabel_ = std::make_shared<UILabel>(CGRectMake(4, kStatusTop, width - 8, kStatusHeight));
    statusLabel_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    statusLabel_->setFont(UIFont::boldSystemFontOfSize(10));
    statusLabel_->setTextColor(UIColor::whiteColor());
    statusLabel_->setTextAlignment(NSTextAlignmentCenter);
    statusLabel_->setAdjustsFontSizeToFitWidth(true);
    statusLabel_->setMinimumScaleFactor(0.7);
    statusLabel_->setBackgroundColor(UIColor::colorWithWhiteAlpha(0, 0.6));
    statusLabel_->layer()->setCornerRadius(4);
    statusLabel_->setClipsToBounds(true);
    statusLabel_->setHidden(true);
    clipping->addSubview(statusLabel_);

    buttonDelete_ = UIButton::buttonWithType(UIButtonTypeCustom);
    buttonDelete_->setFrame(CGRectMake(0, -kButtonSize, kButtonSize, kButtonSize));
    buttonDelete_->setTintColor(UIColor::redColor());
    buttonDelete_->setImageForState(CBMapShelfImages::deleteImage(), UIControlStateNormal);
    buttonDelete_->setAccessibilityLabel("Delete");
    buttonDelete_->setAlpha(0);
    contentView()->addSubview(buttonDelete_);

    infoContainer_ = std::make_shared<UIView>(
        CGRectMake(width - kButtonSize, -kButtonSize, kButtonSize, kButtonSize));
    infoContainer_->setAutoresizingMask(UIViewAutoresizingFlexibleLeftMargin);
    infoContainer_->setBackgroundColor(UIColor::clearColor());
    infoContainer_->setAlpha(0);
    buttonInfo_ = UIButton::buttonWithType(UIButtonTypeCustom);
    buttonInfo_->setFrame(infoContainer_->bounds());
    buttonInfo_->setImageForState(CBMapShelfImages::infoImage(), UIControlStateNormal);
    buttonInfo_->setAccessibilityLabel("Info");
    infoContainer_->addSubview(buttonInfo_);
    contentView()->addSubview(infoContainer_);

    // The cover's shadow is a picture drawn once per cover size: a layer
    // shadow would be blurred again in every frame of a scroll or a zoom.
    shadowView_ = std::make_shared<UIImageView>(CBMapShelfImages::coverShadowImage(bounds.size));
    shadowView_->setFrame(
        CGRectInset(bounds, -CBMapShelfImages::kShadowMargin, -CBMapShelfImages::kShadowMargin));
    contentView()->insertSubviewAtIndex(shadowView_, 0);
}

void CBMapShelfCell::placeBandAndLabel() {
    const CGSize size = contentView()->bounds().size;
    labelBackground_->setFrame(CGRectMake(0, size.height - kBandHeight, size.width, kBandHeight));
    label_->setFrame(CGRectMake(3, size.height - kBandHeight + 9, size.width - 6, 20));
}

void CBMapShelfCell::setStatusText(const std::optional<std::string>& text) {
    statusLabel_->setText(text.value_or(""));
    statusLabel_->setHidden(!text);
}

void CBMapShelfCell::prepareForReuse() {
    UICollectionViewCell::prepareForReuse();
    setClipsToBounds(false);
    placeBandAndLabel();
    progressStopped_ = false;
}

std::shared_ptr<ZELCircularProgressView> CBMapShelfCell::progressView() {
    if (auto ring = progressView_.lock())
        return ring;
    auto ring = std::make_shared<ZELCircularProgressView>(imageView_->bounds());
    ring->setForegroundColor(UIColor::colorWithWhiteAlpha(0, 0.66));
    ring->setRadiusInner(kRingInnerRadius);
    ring->setRadiusOuter(kRingOuterRadius);
    imageView_->addSubview(ring);
    progressView_ = ring;
    setProgressViewStopped(progressStopped_);
    return ring;
}

void CBMapShelfCell::setProgressViewStopped(bool stopped) {
    progressStopped_ = stopped;
    // Read as an activity indicator is while the download moves: what a
    // script waits to see go.
    if (auto ring = progressView_.lock())
        ring->setAccessibilityLabel(stopped ? std::nullopt
                                            : std::optional<std::string>("In progress"));
}

void CBMapShelfCell::setProgressViewHiddenAnimated(bool hidden, bool animated) {
    const bool present = !progressView_.expired();
    if (hidden == !present)
        return;
    auto ring = hidden ? progressView_.lock() : progressView();
    if (!hidden)
        ring->setAlpha(animated ? 0.0 : 1.0);
    if (!animated) {
        if (hidden) {
            ++ringFadeGeneration_;
            ring->removeFromSuperview();
            progressView_.reset();
        }
        return;
    }
    if (hidden) {
        // A fade that still runs starts again from what is shown now.
        auto shown = ring->layer()->presentationLayer();
        UIView::performWithoutAnimation([&] {
            ring->setAlpha(shown->opacity());
            ring->setTransform(shown->transform());
        });
    }
    const unsigned generation = ++ringFadeGeneration_;
    const CGSize size = bounds().size;
    const CGFloat r = ring->radiusOuter();
    const CGFloat scale = 1.25 * std::max(size.width / 2 / r, size.height / 2 / r);
    std::weak_ptr<CBMapShelfCell> weakSelf =
        std::static_pointer_cast<CBMapShelfCell>(shared_from_this());
    std::weak_ptr<ZELCircularProgressView> weakRing = ring;
    UIView::animateWithDurationDelayOptionsAnimationsCompletion(
        kRingFadeDuration, 0,
        UIViewAnimationOptionLayoutSubviews | UIViewAnimationOptionAllowUserInteraction |
            UIViewAnimationOptionBeginFromCurrentState,
        [ring, hidden, scale] {
            ring->setAlpha(hidden ? 0.0 : 1.0);
            if (hidden)
                ring->setTransform(CGAffineTransformMakeScale(scale, scale));
        },
        [weakSelf, weakRing, hidden, generation](bool) {
            auto self = weakSelf.lock();
            auto ring = weakRing.lock();
            // A later fade or show took over the ring.
            if (!self || !ring || !hidden || generation != self->ringFadeGeneration_)
                return;
            ring->removeFromSuperview();
            if (self->progressView_.lock() == ring)
                self->progressView_.reset();
        });
}

void CBMapShelfCell::setAccessoryButtonsHiddenAnimated(bool hidden, bool animated) {
    accessoryButtonsHidden_ = canShowAccessoryButtons_ ? hidden : true;
    if (!animated) {
        applyAccessoryButtonState();
        return;
    }
    std::weak_ptr<CBMapShelfCell> weakSelf =
        std::static_pointer_cast<CBMapShelfCell>(shared_from_this());
    UIView::animateWithDurationDelayOptionsAnimationsCompletion(
        kButtonsFadeDuration, 0, UIViewAnimationOptionAllowUserInteraction,
        [weakSelf] {
            if (auto self = weakSelf.lock())
                self->applyAccessoryButtonState();
        },
        nullptr);
}

void CBMapShelfCell::applyAccessoryButtonState() {
    const CGFloat alpha = accessoryButtonsHidden_ ? 0.0 : 1.0;
    buttonDelete_->setAlpha(alpha);
    infoContainer_->setAlpha(alpha);
    layoutSubviews();
}

void CBMapShelfCell::layoutSubviews() {
    UICollectionViewCell::layoutSubviews();
    const CGRect bounds = this->bounds();
    if (auto clipping = clippingView_.lock())
        clipping->setFrame(bounds);
    if (auto ring = progressView_.lock()) {
        const CGRect cover = imageView_->bounds();
        ring->setBounds(cover);
        ring->setCenter(CGPointMake(cover.size.width / 2, cover.size.height / 2));
    }
    CGRect frame = buttonDelete_->frame();
    frame.origin.y = accessoryButtonsHidden_ ? -frame.size.height : 0;
    buttonDelete_->setFrame(frame);
    CGRect info = infoContainer_->frame();
    info.origin.y = frame.origin.y;
    infoContainer_->setFrame(info);

    auto mask = CAShapeLayer::layer();
    const CGRect band = labelBackground_->bounds();
    mask->setFrame(band);
    mask->setFillColor(UIColor::blackColor().CGColor());
    mask->setPath(bandMaskPath(band));
    labelBackground_->layer()->setMask(mask);

    CGPath shadow;
    shadow.addRect(bounds);
    layer()->setShadowPath(shadow);
    const CGFloat margin = CBMapShelfImages::kShadowMargin;
    shadowView_->setFrame(CGRectInset(bounds, -margin, -margin));
    if (auto picture = shadowView_->image();
        !picture || picture->size() != shadowView_->frame().size)
        shadowView_->setImage(CBMapShelfImages::coverShadowImage(bounds.size));
}
