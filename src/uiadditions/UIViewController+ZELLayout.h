#pragma once

#include <memory>

#include "UIKit/UIViewController.h"

// Layout guide insets: the length of the controller's top (bottom) layout
// guide; 0 for a null controller.
CGFloat topLayoutInset_ZEL(const std::shared_ptr<UIViewController>& controller);
CGFloat bottomLayoutInset_ZEL(const std::shared_ptr<UIViewController>& controller);
// Sets the automatic scroll-view inset adjustment.
void setAutomaticallyAdjustsScrollViewInsets_backwardCompatibly(
    const std::shared_ptr<UIViewController>& controller, bool flag);
