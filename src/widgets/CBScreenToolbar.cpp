#include "widgets/CBScreenToolbar.h"

#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UINavigationController.h"

void CBScreenToolbar::setHidden(UIViewController& screen, bool hidden, bool animated) {
    if (auto navigation = screen.navigationController())
        navigation->setToolbarHiddenAnimated(hidden, animated);
}

std::shared_ptr<UIBarButtonItem> CBScreenToolbar::flexibleSpace() {
    return std::make_shared<UIBarButtonItem>(UIBarButtonSystemItemFlexibleSpace, nullptr);
}

std::shared_ptr<UIBarButtonItem> CBScreenToolbar::fixedSpace(CGFloat width) {
    auto space = std::make_shared<UIBarButtonItem>(UIBarButtonSystemItemFixedSpace, nullptr);
    space->setWidth(width);
    return space;
}
