#include "UIKit/UINavigationItem.h"

#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UINavigationBar.h"

void UINavigationItem::setTitle(const std::optional<std::string>& title) {
    title_ = title;
    changed();
}

void UINavigationItem::setTitleView(std::shared_ptr<UIView> view) {
    titleView_ = std::move(view);
    changed();
}

void UINavigationItem::setLeftBarButtonItem(std::shared_ptr<UIBarButtonItem> item) {
    left_ = std::move(item);
    changed();
}

void UINavigationItem::setRightBarButtonItem(std::shared_ptr<UIBarButtonItem> item) {
    right_ = std::move(item);
    changed();
}

void UINavigationItem::setBackBarButtonItem(std::shared_ptr<UIBarButtonItem> item) {
    back_ = std::move(item);
    changed();
}

void UINavigationItem::setHidesBackButton(bool flag) {
    hidesBackButton_ = flag;
    changed();
}

void UINavigationItem::changed() {
    if (auto bar = bar_.lock()) {
        bar->itemsDidChange();
    }
}
