#include "widgets/CBStatsBar.h"

#include <algorithm>

#include "UIKit/UIFont.h"
#include "UIKit/UIImage.h"
#include "UIKit/UIImageView.h"
#include "UIKit/UILabel.h"

namespace {
constexpr CGFloat kIconGap = 4;
}

CBStatsBar::CBStatsBar(const CGRect& frame) : UIView(frame) {}

void CBStatsBar::setTexts(const std::vector<std::string>& texts) {
    for (const auto& label : labels_)
        label->removeFromSuperview();
    labels_.clear();
    for (const auto& text : texts) {
        auto label = std::make_shared<UILabel>();
        label->setText(text);
        label->setFont(UIFont::systemFontOfSize(13));
        label->setTextColor(UIColor::darkGrayColor());
        addSubview(label);
        labels_.push_back(label);
    }
    setNeedsLayout();
}

void CBStatsBar::setImages(const std::vector<std::shared_ptr<UIImage>>& images) {
    for (const auto& view : imageViews_)
        view->removeFromSuperview();
    imageViews_.clear();
    for (const auto& image : images) {
        auto view = std::make_shared<UIImageView>(image);
        addSubview(view);
        imageViews_.push_back(view);
    }
    setNeedsLayout();
}

void CBStatsBar::layoutSubviews() {
    const size_t pairs = std::max(labels_.size(), imageViews_.size());
    if (pairs == 0)
        return;
    const CGRect bounds = this->bounds();
    const CGFloat slot = bounds.size.width / CGFloat(pairs);
    for (size_t i = 0; i < pairs; ++i) {
        const CGFloat left = slot * CGFloat(i);
        CGFloat x = left;
        if (i < imageViews_.size()) {
            const CGSize icon =
                imageViews_[i]->image() ? imageViews_[i]->image()->size() : CGSizeZero;
            imageViews_[i]->setFrame(
                CGRectMake(x, (bounds.size.height - icon.height) / 2, icon.width, icon.height));
            x += icon.width + kIconGap;
        }
        if (i < labels_.size())
            labels_[i]->setFrame(CGRectMake(x, 0, left + slot - x, bounds.size.height));
    }
}
