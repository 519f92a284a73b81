#pragma once

#include <memory>
#include <string>
#include <vector>

#include "UIKit/UIView.h"
#include "mapkit/VADStyleTrait.h"

class UIImage;

// An icon drawn from an image's alpha as a mask: the image's shape filled
// with a colour or a top-to-bottom gradient (one colour when highlighted),
// with an optional glow around and inside its edges, so one picture serves
// every tint. The icon keeps its image's size, centred in the view.
//
// On screen the outer glow is the layer's shadow, so it reaches beyond the
// view's bounds; the rendered images are the icon's size and keep only the
// part of the glow that falls inside it.
class VADMaskedIconView : public UIView {
  public:
    explicit VADMaskedIconView(const CGRect& frame = CGRectZero);
    // Masked from the image (or the main bundle's image of that name), the
    // view sized to it; a missing image is logged and gives an empty icon.
    explicit VADMaskedIconView(const std::shared_ptr<UIImage>& image);
    explicit VADMaskedIconView(const std::string& imageName);
    static std::shared_ptr<VADMaskedIconView> iconWithImage(const std::shared_ptr<UIImage>& image);
    static std::shared_ptr<VADMaskedIconView> iconWithImageNamed(const std::string& imageName);

    // The image at its natural size; the view takes that size.
    void configureWithImage(const std::shared_ptr<UIImage>& image) {
        configureWithImageSize(image, CGSizeZero);
    }
    // A zero size takes the image's own.
    void configureWithImageSize(const std::shared_ptr<UIImage>& image, CGSize size);
    // Copies every value of the trait; a trait of another style protocol is
    // refused with a logged message.
    void setTrait(const VADStyleTrait& trait);

    const std::shared_ptr<UIImage>& image() const { return image_; }
    const VADMaskedIconStyle& iconStyle() const { return style_; }
    const std::optional<UIColor>& color() const { return style_.color; }
    void setColor(std::optional<UIColor> color);
    const std::optional<UIColor>& highlightedColor() const { return style_.highlightedColor; }
    void setHighlightedColor(std::optional<UIColor> color);
    const std::vector<UIColor>& gradientColors() const { return style_.gradientColors; }
    void setGradientColors(std::vector<UIColor> colors);
    const std::optional<UIColor>& outerGlowColor() const { return style_.outerGlowColor; }
    void setOuterGlowColor(std::optional<UIColor> color);
    CGFloat outerGlowRadius() const { return style_.outerGlowRadius; }
    void setOuterGlowRadius(CGFloat radius);
    const std::optional<UIColor>& innerGlowColor() const { return style_.innerGlowColor; }
    void setInnerGlowColor(std::optional<UIColor> color);
    CGFloat innerGlowRadius() const { return style_.innerGlowRadius; }
    void setInnerGlowRadius(CGFloat radius);

    bool isHighlighted() const { return highlighted_; }
    void setHighlighted(bool flag);

    // The icon as an image of its size at the screen's scale, in its normal
    // or its highlighted fill, glows included; nullptr without an image.
    std::shared_ptr<UIImage> renderImage() const { return renderImageHighlighted(false); }
    std::shared_ptr<UIImage> renderHighlightedImage() const { return renderImageHighlighted(true); }

    CGSize sizeThatFits(CGSize size) const override;
    void drawRect(const CGRect& rect) override;

  private:
    void setStyle(VADMaskedIconStyle style);
    template <class T>
    void setStyleValue(T VADMaskedIconStyle::*value, T to);
    // Mirrors the outer glow into the layer's shadow.
    void applyOuterGlow();
    std::shared_ptr<UIImage> renderImageHighlighted(bool highlighted) const;
    // The filled shape with its inner glow at the scale (0: the screen's);
    // nullptr without an image.
    std::shared_ptr<UIImage> filledIcon(bool highlighted, CGFloat scale) const;

    std::shared_ptr<UIImage> image_;
    CGSize size_{};
    VADMaskedIconStyle style_;
    bool highlighted_ = false;
};
