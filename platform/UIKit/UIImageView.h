#pragma once

#include "UIKit/UIImage.h"
#include "UIKit/UIView.h"

// Shows an image as its layer's contents, placed by the content mode;
// template images are painted in the tint colour.
class UIImageView : public UIView {
  public:
    explicit UIImageView(const CGRect& frame = CGRectZero);
    // Sized to the image.
    explicit UIImageView(const UIImageRef& image);

    const UIImageRef& image() const { return image_; }
    void setImage(const UIImageRef& image);
    const UIImageRef& highlightedImage() const { return highlightedImage_; }
    void setHighlightedImage(const UIImageRef& image);
    bool isHighlighted() const { return highlighted_; }
    void setHighlighted(bool flag);

    CGSize sizeThatFits(CGSize size) const override;
    void setBounds(const CGRect& bounds) override;
    void tintColorDidChange() override;

  private:
    void updateContents();

    UIImageRef image_;
    UIImageRef highlightedImage_;
    bool highlighted_ = false;
};
