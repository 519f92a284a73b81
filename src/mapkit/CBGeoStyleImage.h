#pragma once

#include "CoreGraphics/CGImage.h"

// An image of a map style (an icon, a fill pattern): the bitmap and how many
// of its pixels make a point (2 for an "@2x" file), so that it keeps its
// size in points whatever file was found.
class CBGeoStyleImage {
  public:
    CBGeoStyleImage(CGImageRef image, CGFloat scale)
        : image_(std::move(image)), scale_(scale > 0 ? scale : 1) {}

    const CGImageRef& CGImage() const { return image_; }
    CGFloat scale() const { return scale_; }
    // In points.
    CGSize size() const {
        return image_ ? CGSizeMake(CGFloat(image_->width()) / scale_,
                                   CGFloat(image_->height()) / scale_)
                      : CGSizeZero;
    }

  private:
    CGImageRef image_;
    CGFloat scale_;
};
