#pragma once

#include <memory>

#include "CoreGraphics/CGGeometry.h"

// The display: its size in points and pixels per point. The host sets both
// at start-up (phone 320 x 568 or pad 768 x 1024, scale 1, 2 or 3).
class UIScreen {
  public:
    static std::shared_ptr<UIScreen> mainScreen();

    CGRect bounds() const { return bounds_; }
    CGFloat scale() const { return scale_; }
    CGFloat nativeScale() const { return scale_; }
    // Set up by the host before any view exists; the scale must be positive.
    void setBoundsSize(CGSize size);
    void setScale(CGFloat scale);

  private:
    CGRect bounds_{{0, 0}, {320, 568}};
    CGFloat scale_ = 2;
};
