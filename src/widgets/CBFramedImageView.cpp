#include "widgets/CBFramedImageView.h"

#include "QuartzCore/CALayer.h"
#include "UIKit/UIImage.h"
#include "UIKit/UIImageView.h"
#include "UIKit/UITapGestureRecognizer.h"

std::shared_ptr<CBFramedImageView> CBFramedImageView::create(const CGRect& frame) {
    auto view = std::make_shared<CBFramedImageView>(frame);
    view->addSubview(view->imageView_);
    std::weak_ptr<CBFramedImageView> weak = view;
    view->addGestureRecognizer(std::make_shared<UITapGestureRecognizer>([weak](auto&) {
        if (auto me = weak.lock())
            me->openFullScreen();
    }));
    return view;
}

CBFramedImageView::CBFramedImageView(const CGRect& frame)
    : UIView(frame), imageView_(std::make_shared<UIImageView>()) {
    setBackgroundColor(UIColor::whiteColor());
    setUserInteractionEnabled(true);
    layer()->setShadowOpacity(0.3f);
    layer()->setShadowRadius(2);
    layer()->setShadowOffset({0, 1});
    imageView_->setContentMode(UIViewContentModeScaleAspectFill);
    imageView_->setClipsToBounds(true);
}

void CBFramedImageView::setImage(const std::shared_ptr<UIImage>& image) {
    image_ = image;
    imageView_->setImage(image);
}

void CBFramedImageView::layoutSubviews() {
    imageView_->setFrame(CGRectInset(bounds(), kFrameWidth, kFrameWidth));
}

void CBFramedImageView::openFullScreen() {
    auto top = topView_.lock();
    if (!top || !image_ || opened_.lock())
        return;
    auto cover = std::make_shared<UIView>(top->bounds());
    cover->setBackgroundColor(UIColor::blackColor());
    auto photo = std::make_shared<UIImageView>(image_);
    photo->setFrame(cover->bounds());
    photo->setContentMode(UIViewContentModeScaleAspectFit);
    cover->addSubview(photo);
    std::weak_ptr<UIView> weakCover = cover;
    cover->addGestureRecognizer(std::make_shared<UITapGestureRecognizer>([weakCover](auto&) {
        if (auto opened = weakCover.lock())
            opened->removeFromSuperview();
    }));
    top->addSubview(cover);
    opened_ = cover;
}
