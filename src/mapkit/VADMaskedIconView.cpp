#include "mapkit/VADMaskedIconView.h"

#include <algorithm>

#include "CoreGraphics/CGGradient.h"
#include "Foundation/NSLog.h"
#include "QuartzCore/CALayer.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/UIImage.h"

namespace {

// Images and masks stand upright in a y-down context only when flipped
// about their rectangle.
void flipAbout(CGContext& context, const CGRect& rect) {
    context.translateCTM(0, 2 * rect.origin.y + rect.size.height);
    context.scaleCTM(1, -1);
}

std::shared_ptr<UIImage> namedImage(const std::string& name) {
    auto image = UIImage::imageNamed(name);
    if (!image)
        NSLogWithLevel(NSLogLevel::Warning, "VADMaskedIconView: no image named \"%s\"",
                       name.c_str());
    return image;
}

// The colour everywhere but where the mask paints, over the icon's rectangle
// grown by pad on each side: what casts the inner glow.
std::shared_ptr<UIImage> inverseMask(const CGImage& mask, CGSize size, CGFloat pad,
                                     const UIColor& color, CGFloat scale) {
    const CGRect whole{{0, 0}, {size.width + 2 * pad, size.height + 2 * pad}};
    const CGRect icon{{pad, pad}, size};
    UIGraphicsBeginImageContextWithOptions(whole.size, false, scale);
    std::shared_ptr<UIImage> image;
    if (auto context = UIGraphicsGetCurrentContext()) {
        context->setFillColorWithColor(color.CGColor());
        context->fillRect(whole);
        flipAbout(*context, icon);
        context->clipToMask(icon, mask);
        context->setBlendMode(kCGBlendModeDestinationOut);
        context->setGrayFillColor(0, 1);  // cuts out all the mask covers
        context->fillRect(icon);
        image = UIGraphicsGetImageFromCurrentImageContext();
    }
    UIGraphicsEndImageContext();
    return image;
}

}  // namespace

VADMaskedIconView::VADMaskedIconView(const CGRect& frame) : UIView(frame) {
    setBackgroundColor(UIColor::clearColor());
    setOpaque(false);
    setContentMode(UIViewContentModeRedraw);
}

VADMaskedIconView::VADMaskedIconView(const std::shared_ptr<UIImage>& image) : VADMaskedIconView() {
    configureWithImage(image);
}

VADMaskedIconView::VADMaskedIconView(const std::string& imageName)
    : VADMaskedIconView(namedImage(imageName)) {}

std::shared_ptr<VADMaskedIconView> VADMaskedIconView::iconWithImage(
    const std::shared_ptr<UIImage>& image) {
    return std::make_shared<VADMaskedIconView>(image);
}

std::shared_ptr<VADMaskedIconView> VADMaskedIconView::iconWithImageNamed(
    const std::string& imageName) {
    return std::make_shared<VADMaskedIconView>(imageName);
}

void VADMaskedIconView::configureWithImageSize(const std::shared_ptr<UIImage>& image, CGSize size) {
    image_ = image;
    size_ = (size.width > 0 && size.height > 0) || !image ? size : image->size();
    CGRect f = frame();
    setFrame(CGRect{f.origin, size_});
    setNeedsDisplay();
}

void VADMaskedIconView::setTrait(const VADStyleTrait& trait) {
    if (trait.styleProtocol() != VADStyleTrait::kMaskedIconStyle) {
        NSLogWithLevel(NSLogLevel::Warning,
                       "Attempting to mix object %p of incompatible protocol %s into object %p "
                       "of protocol %s.",
                       static_cast<const void*>(&trait), trait.styleProtocol().c_str(),
                       static_cast<const void*>(this), VADStyleTrait::kMaskedIconStyle);
        return;
    }
    setStyle(trait.iconStyle());
}

void VADMaskedIconView::setStyle(VADMaskedIconStyle style) {
    if (style == style_)
        return;
    const bool glowChanged = style.outerGlowColor != style_.outerGlowColor ||
                             style.outerGlowRadius != style_.outerGlowRadius;
    style_ = std::move(style);
    if (glowChanged)
        applyOuterGlow();
    setNeedsDisplay();
}

template <class T>
void VADMaskedIconView::setStyleValue(T VADMaskedIconStyle::*value, T to) {
    auto style = style_;
    style.*value = std::move(to);
    setStyle(std::move(style));
}

void VADMaskedIconView::setColor(std::optional<UIColor> color) {
    setStyleValue(&VADMaskedIconStyle::color, std::move(color));
}

void VADMaskedIconView::setHighlightedColor(std::optional<UIColor> color) {
    setStyleValue(&VADMaskedIconStyle::highlightedColor, std::move(color));
}

void VADMaskedIconView::setGradientColors(std::vector<UIColor> colors) {
    setStyleValue(&VADMaskedIconStyle::gradientColors, std::move(colors));
}

void VADMaskedIconView::setOuterGlowColor(std::optional<UIColor> color) {
    setStyleValue(&VADMaskedIconStyle::outerGlowColor, std::move(color));
}

// Negative and undefined radii are no glow.
void VADMaskedIconView::setOuterGlowRadius(CGFloat radius) {
    setStyleValue(&VADMaskedIconStyle::outerGlowRadius, std::max<CGFloat>(0, radius));
}

void VADMaskedIconView::setInnerGlowColor(std::optional<UIColor> color) {
    setStyleValue(&VADMaskedIconStyle::innerGlowColor, std::move(color));
}

void VADMaskedIconView::setInnerGlowRadius(CGFloat radius) {
    setStyleValue(&VADMaskedIconStyle::innerGlowRadius, std::max<CGFloat>(0, radius));
}

void VADMaskedIconView::applyOuterGlow() {
    const auto& color = style_.outerGlowColor;
    layer()->setShadowColor(color ? color->CGColor() : UIColor::blackColor().CGColor());
    layer()->setShadowOpacity(color ? 1 : 0);
    layer()->setShadowRadius(style_.outerGlowRadius);
    layer()->setShadowOffset(CGSizeZero);
}

void VADMaskedIconView::setHighlighted(bool flag) {
    if (flag == highlighted_)
        return;
    highlighted_ = flag;
    setNeedsDisplay();
}

CGSize VADMaskedIconView::sizeThatFits(CGSize) const {
    return size_;
}

std::shared_ptr<UIImage> VADMaskedIconView::filledIcon(bool highlighted, CGFloat scale) const {
    if (!image_ || !image_->CGImage() || size_.width <= 0 || size_.height <= 0)
        return nullptr;
    const CGImage& mask = *image_->CGImage();
    const CGRect icon{{0, 0}, size_};
    UIGraphicsBeginImageContextWithOptions(size_, false, scale);
    std::shared_ptr<UIImage> image;
    if (auto context = UIGraphicsGetCurrentContext()) {
        flipAbout(*context, icon);
        context->clipToMask(icon, mask);
        const auto& colors = style_.gradientColors;
        if (highlighted && style_.highlightedColor) {
            context->setFillColorWithColor(style_.highlightedColor->CGColor());
            context->fillRect(icon);
        } else if (colors.size() > 1) {
            std::vector<CGColor> stops;
            for (const auto& color : colors)
                stops.push_back(color.CGColor());
            // Flipped: the icon's top is the rectangle's maximum y.
            if (auto gradient = CGGradient::createWithColors(stops))
                context->drawLinearGradient(
                    *gradient, {0, icon.size.height}, {0, 0},
                    kCGGradientDrawsBeforeStartLocation | kCGGradientDrawsAfterEndLocation);
        } else {
            const UIColor fill =
                colors.empty() ? style_.color.value_or(UIColor::blackColor()) : colors.front();
            context->setFillColorWithColor(fill.CGColor());
            context->fillRect(icon);
        }
        // A glow wider than the icon already lights all of it; the cap
        // keeps the outside that casts it small.
        const CGFloat radius =
            std::min(style_.innerGlowRadius, std::max(size_.width, size_.height));
        if (style_.innerGlowColor && radius > 0) {
            // The shape's outside, in the glow's colour, casts its shadow in
            // over the edges; the clip keeps only what falls inside. The
            // shadow is opaque as the outside's own alpha carries the glow's.
            const CGFloat pad = 2 * radius + 1;
            const UIColor& glow = *style_.innerGlowColor;
            if (auto outside = inverseMask(mask, size_, pad, glow, scale)) {
                context->setShadowWithColor(CGSizeZero, radius,
                                            glow.colorWithAlphaComponent(1).CGColor());
                context->drawImage(
                    CGRectMake(-pad, -pad, icon.size.width + 2 * pad, icon.size.height + 2 * pad),
                    *outside->CGImage());
            }
        }
        image = UIGraphicsGetImageFromCurrentImageContext();
    }
    UIGraphicsEndImageContext();
    return image;
}

void VADMaskedIconView::drawRect(const CGRect&) {
    CGContextRef context = UIGraphicsGetCurrentContext();
    auto filled = context ? filledIcon(highlighted_, contentScaleFactor()) : nullptr;
    if (!filled)
        return;
    const CGRect b = bounds();
    const CGRect icon{{b.origin.x + (b.size.width - size_.width) / 2,
                       b.origin.y + (b.size.height - size_.height) / 2},
                      size_};
    context->saveGState();
    flipAbout(*context, icon);
    context->drawImage(icon, *filled->CGImage());
    context->restoreGState();
}

std::shared_ptr<UIImage> VADMaskedIconView::renderImageHighlighted(bool highlighted) const {
    auto filled = filledIcon(highlighted, 0);
    if (!filled)
        return nullptr;
    const CGRect icon{{0, 0}, size_};
    UIGraphicsBeginImageContextWithOptions(size_, false, filled->scale());
    std::shared_ptr<UIImage> image;
    if (auto context = UIGraphicsGetCurrentContext()) {
        if (style_.outerGlowColor && style_.outerGlowRadius > 0)
            context->setShadowWithColor(CGSizeZero, style_.outerGlowRadius,
                                        style_.outerGlowColor->CGColor());
        flipAbout(*context, icon);
        context->drawImage(icon, *filled->CGImage());
        image = UIGraphicsGetImageFromCurrentImageContext();
    }
    UIGraphicsEndImageContext();
    return image;
}
