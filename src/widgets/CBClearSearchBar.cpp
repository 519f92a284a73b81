#include "widgets/CBClearSearchBar.h"

#include "UIKit/UIActivityIndicatorView.h"

std::shared_ptr<CBClearSearchBar> CBClearSearchBar::initWithBackground() {
    auto bar = std::make_shared<CBClearSearchBar>();
    bar->setSearchBarStyle(UISearchBarStyleMinimal);
    bar->setBackgroundColor(UIColor::clearColor());
    return bar;
}

CBClearSearchBar::CBClearSearchBar(const CGRect& frame) : UISearchBar(frame) {}

void CBClearSearchBar::setLoading(bool loading) {
    if (loading == loading_)
        return;
    loading_ = loading;
    if (loading) {
        spinner_ = std::make_shared<UIActivityIndicatorView>(UIActivityIndicatorViewStyleGray);
        addSubview(spinner_);
        spinner_->startAnimating();
        setNeedsLayout();
    } else if (spinner_) {
        spinner_->stopAnimating();
        spinner_->removeFromSuperview();
        spinner_.reset();
    }
}

void CBClearSearchBar::layoutSubviews() {
    UISearchBar::layoutSubviews();
    if (!spinner_)
        return;
    // Inside the field's right end, where the clear button sits while idle.
    const CGRect field = searchField()->frame();
    const CGFloat side = 20;
    spinner_->setFrame(CGRectMake(field.origin.x + field.size.width - side - 28,
                                  field.origin.y + (field.size.height - side) / 2, side, side));
}
