#pragma once

#include <memory>

#include "UIKit/UIView.h"

class UIImage;

// A mark drawn over a picture being annotated: the common part of arrows,
// rectangles and blur boxes. Frames are kept with positive sizes; the drag
// that drew the mark (movedDelta) tells its direction.
class BITImageAnnotation : public UIView {
  public:
    explicit BITImageAnnotation(const CGRect& frame = CGRectZero);

    virtual bool resizable() const { return false; }
    bool isSelected() const { return selected_; }
    virtual void setSelected(bool selected) { selected_ = selected; }
    std::shared_ptr<UIImage> sourceImage() const { return sourceImage_.lock(); }
    virtual void setSourceImage(const std::shared_ptr<UIImage>& image) { sourceImage_ = image; }
    // The last drag vector while drawing: finger minus start point.
    CGPoint movedDelta() const { return movedDelta_; }
    void setMovedDelta(CGPoint delta) { movedDelta_ = delta; }
    // The picture's frame in this mark's own coordinates.
    const CGRect& imageFrame() const { return imageFrame_; }
    void setImageFrame(const CGRect& frame) { imageFrame_ = frame; }

  private:
    bool selected_ = false;
    std::weak_ptr<UIImage> sourceImage_;
    CGPoint movedDelta_ = CGPointZero;
    CGRect imageFrame_ = CGRectZero;
};
