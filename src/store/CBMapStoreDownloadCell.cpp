#include "store/CBMapStoreDownloadCell.h"

#include <cmath>

#include "UIKit/UIButton.h"
#include "UIKit/UIImage.h"
#include "UIKit/UIImageView.h"
#include "UIKit/UILabel.h"
#include "UIKit/UIProgressView.h"

CBMapStoreDownloadCell::CBMapStoreDownloadCell(const std::string& reuseIdentifier)
    : UITableViewCell(UITableViewCellStyleSubtitle, reuseIdentifier) {
    progressView_ = std::make_shared<UIProgressView>(UIProgressViewStyleDefault);
    progressView_->sizeToFit();
    progressView_->setBackgroundColor(UIColor::colorWithWhiteAlpha(0.75, 1));
    progressView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth |
                                       UIViewAutoresizingFlexibleTopMargin);
    progressView_->setFrame(CGRectMake(10, 25, 250, progressView_->frame().size.height));
    contentView()->addSubview(progressView_);

    secondaryImageView_ = std::make_shared<UIImageView>();
    secondaryImageView_->setContentMode(UIViewContentModeCenter);
    contentView()->addSubview(secondaryImageView_);

    imageView()->setContentMode(UIViewContentModeScaleAspectFit);
    textLabel()->setAdjustsFontSizeToFitWidth(true);
    detailTextLabel()->setAdjustsFontSizeToFitWidth(true);
    setSelectionStyle(UITableViewCellSelectionStyleNone);
}

void CBMapStoreDownloadCell::setShowsCancelButton(bool shows) {
    if (!shows) {
        setAccessoryView(nullptr);
        return;
    }
    auto button = UIButton::buttonWithType(UIButtonTypeCustom);
    button->setTintColor(UIColor::redColor());
    if (auto image = UIImage::imageNamed("download-cancel"))
        button->setImageForState(
            image->imageWithRenderingMode(UIImageRenderingMode::AlwaysTemplate),
            UIControlStateNormal);
    button->setShowsTouchWhenHighlighted(true);
    button->setFrame(CGRectMake(0, 0, 50, 50));
    button->setContentMode(UIViewContentModeCenter);
    setAccessoryView(button);
}

std::shared_ptr<UIButton> CBMapStoreDownloadCell::cancelButton() const {
    return std::dynamic_pointer_cast<UIButton>(accessoryView());
}

void CBMapStoreDownloadCell::layoutSubviews() {
    UITableViewCell::layoutSubviews();
    auto content = contentView()->bounds();
    imageView()->setFrame(CGRectInset(imageView()->frame(), 5, 5));
    bool hasImage = imageView()->image() != nullptr;
    if (hasImage)
        secondaryImageView_->setFrame(imageView()->frame());
    else
        secondaryImageView_->setFrame(
            CGRectMake(5, std::floor(content.size.height * 0.5) - 15, 30, 30));

    auto title = textLabel()->frame();
    if (!hasImage)
        title.origin.x += 40;
    title.origin.y = 5;
    title.size.height = 20;
    title.size.width = content.size.width - title.origin.x - 5;
    textLabel()->setFrame(title);
    auto detail = title;
    detail.origin.y = 25;
    detailTextLabel()->setFrame(detail);

    contentView()->bringSubviewToFront(secondaryImageView_);
    progressView_->setFrame(CGRectMake(title.origin.x, 50, content.size.width - title.origin.x - 5,
                                       progressView_->frame().size.height));
}
