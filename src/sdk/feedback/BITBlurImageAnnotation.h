#pragma once

#include <memory>

#include "sdk/feedback/BITImageAnnotation.h"

class CALayer;

// Hides what lies under it: shows the whole picture pixelated in blocks of
// 30 image points, lined up with the picture and clipped to the box; a red
// veil while selected.
class BITBlurImageAnnotation : public BITImageAnnotation {
  public:
    static constexpr CGFloat kBlockSize = 30;

    explicit BITBlurImageAnnotation(const CGRect& frame = CGRectZero);

    bool resizable() const override { return true; }
    void setSourceImage(const std::shared_ptr<UIImage>& image) override;
    void setSelected(bool selected) override;
    void layoutSubviews() override;

    // The picture with every block of 30 x 30 image points in its mean colour.
    static std::shared_ptr<UIImage> pixelatedImage(const std::shared_ptr<UIImage>& image);

    const std::shared_ptr<UIImage>& scaledImage() const { return scaledImage_; }
    const std::shared_ptr<CALayer>& imageLayer() const { return imageLayer_; }
    const std::shared_ptr<CALayer>& selectedLayer() const { return selectedLayer_; }

  private:
    std::shared_ptr<CALayer> imageLayer_;
    std::shared_ptr<UIImage> scaledImage_;
    std::shared_ptr<CALayer> selectedLayer_;
};
