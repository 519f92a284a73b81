#include "uiadditions/UIViewController+ZELLayout.h"

CGFloat topLayoutInset_ZEL(const std::shared_ptr<UIViewController>& controller) {
    return controller ? controller->topLayoutGuideLength() : 0;
}

CGFloat bottomLayoutInset_ZEL(const std::shared_ptr<UIViewController>& controller) {
    return controller ? controller->bottomLayoutGuideLength() : 0;
}

void setAutomaticallyAdjustsScrollViewInsets_backwardCompatibly(
    const std::shared_ptr<UIViewController>& controller, bool flag) {
    if (controller) {
        controller->setAutomaticallyAdjustsScrollViewInsets(flag);
    }
}
