#include "sdk/feedback/BITActivityIndicatorButton.h"

#include "QuartzCore/CALayer.h"
#include "UIKit/UIActivityIndicatorView.h"
#include "UIKit/UIColor.h"
#include "UIKit/UIImageView.h"

void BITActivityIndicatorButton::setShowsActivityIndicator(bool show) {
    if (indicatorVisible_ == show)
        return;
    if (!indicator_) {
        indicator_ = std::make_shared<UIActivityIndicatorView>();
        indicator_->setFrame(bounds());
        indicator_->setColor(UIColor::blackColor());
        addSubview(indicator_);
    }
    indicatorVisible_ = show;
    if (show) {
        indicator_->startAnimating();
        indicator_->setAlpha(1);
        layer()->setBorderWidth(1);
        layer()->setBorderColor(CGColorCreateGenericGray(0.8, 1));
        layer()->setCornerRadius(5);
        imageView()->setImage(nullptr);
    } else {
        indicator_->stopAnimating();
        layer()->setCornerRadius(0);
        indicator_->setAlpha(0);
        layer()->setBorderWidth(0);
    }
}

void BITActivityIndicatorButton::layoutSubviews() {
    UIButton::layoutSubviews();
    if (indicator_)
        indicator_->setFrame(bounds());
}
