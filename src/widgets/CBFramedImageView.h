#pragma once

#include <memory>

#include "UIKit/UIView.h"

class UIImage;
class UIImageView;

// A photo in a white frame with a thin shadow; a tap opens it full size over
// the top view, a tap there closes it.
class CBFramedImageView : public UIView {
  public:
    static constexpr CGFloat kFrameWidth = 4;
    static std::shared_ptr<CBFramedImageView> create(const CGRect& frame);
    explicit CBFramedImageView(const CGRect& frame);

    const std::shared_ptr<UIImage>& image() const { return image_; }
    void setImage(const std::shared_ptr<UIImage>& image);
    std::shared_ptr<UIView> topView() const { return topView_.lock(); }
    void setTopView(const std::shared_ptr<UIView>& view) { topView_ = view; }
    // The full-size photo while open.
    std::shared_ptr<UIView> openedView() const { return opened_.lock(); }
    void openFullScreen();

    void layoutSubviews() override;

  private:
    std::shared_ptr<UIImage> image_;
    std::shared_ptr<UIImageView> imageView_;
    std::weak_ptr<UIView> topView_;
    std::weak_ptr<UIView> opened_;
};
