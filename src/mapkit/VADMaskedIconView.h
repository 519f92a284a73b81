#pragma once

#include <memory>

#include "UIKit/UIView.h"

class UIImage;
class VADStyleTrait;

// An icon drawn as a mask: the image's shape painted in one colour (white
// while highlighted), so one picture serves every tint.
class VADMaskedIconView : public UIView {
  public:
    explicit VADMaskedIconView(const CGRect& frame = CGRectZero);

    // The image at its natural size.
    void configureWithImage(const std::shared_ptr<UIImage>& image) {
        configureWithImageSize(image, CGSizeZero);
    }
    // A zero size takes the image's own.
    void configureWithImageSize(const std::shared_ptr<UIImage>& image, CGSize size);
    // Copies the trait's values; a trait of another style protocol is refused
    // with a logged message.
    void setTrait(const VADStyleTrait& trait);

    const std::shared_ptr<UIImage>& image() const { return image_; }
    const std::optional<UIColor>& color() const { return color_; }
    const std::optional<UIColor>& highlightedColor() const { return highlightedColor_; }
    bool isHighlighted() const { return highlighted_; }
    void setHighlighted(bool flag);

    CGSize sizeThatFits(CGSize size) const override;
    void drawRect(const CGRect& rect) override;

  private:
    std::shared_ptr<UIImage> image_;
    CGSize size_{};
    std::optional<UIColor> color_;
    std::optional<UIColor> highlightedColor_;
    bool highlighted_ = false;
};
