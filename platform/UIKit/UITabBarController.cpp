#include "UIKit/UITabBarController.h"

#include <algorithm>

#include "UIKit/UINavigationController.h"
#include "UIKit/UIScreen.h"
#include "UIKit/UITabBarItem.h"
#include "UIKit/UIWindow.h"

UITabBarController::UITabBarController()
    : tabBar_(std::make_shared<UITabBar>(
          CGRect{{0, UIScreen::mainScreen()->bounds().size.height - UITabBar::kHeight},
                 {UIScreen::mainScreen()->bounds().size.width, UITabBar::kHeight}})) {}

std::shared_ptr<UIViewController> UITabBarController::selectedViewController() const {
    return selected_ >= 0 && size_t(selected_) < controllers_.size()
               ? controllers_[size_t(selected_)]
               : nullptr;
}

void UITabBarController::setViewControllersAnimated(
    std::vector<std::shared_ptr<UIViewController>> controllers, bool) {
    std::erase(controllers, nullptr);
    std::vector<std::shared_ptr<UIViewController>> unique;
    for (const auto& controller : controllers) {
        if (controller.get() != this &&
            std::find(unique.begin(), unique.end(), controller) == unique.end()) {
            unique.push_back(controller);
        }
    }
    const std::shared_ptr<UIViewController> previous = selectedViewController();
    for (const auto& old : controllers_) {
        if (std::find(unique.begin(), unique.end(), old) == unique.end()) {
            old->willMoveToParentViewController(nullptr);
            if (old == shown_ && old->isViewLoaded()) {
                old->view()->removeFromSuperview();
                shown_.reset();
            }
            old->removeFromParentViewController();
        }
    }
    auto self = std::static_pointer_cast<UIViewController>(shared_from_this());
    for (const auto& controller : unique) {
        if (controller->parentViewController() != self) {
            addChildViewController(controller);
            controller->didMoveToParentViewController(self);
        }
    }
    controllers_ = std::move(unique);
    tabBar_->setDelegate(std::static_pointer_cast<UITabBarController>(shared_from_this()));
    tabBarItemsDidChange();
    auto kept = std::find(controllers_.begin(), controllers_.end(), previous);
    show(kept != controllers_.end() ? long(kept - controllers_.begin())
                                    : (controllers_.empty() ? kNotFound : 0));
}

void UITabBarController::setSelectedViewController(
    const std::shared_ptr<UIViewController>& controller) {
    auto found = std::find(controllers_.begin(), controllers_.end(), controller);
    if (found != controllers_.end()) {
        show(long(found - controllers_.begin()));
    }
}

void UITabBarController::setSelectedIndex(long index) {
    if (index >= 0 && size_t(index) < controllers_.size()) {
        show(index);
    }
}

void UITabBarController::tabBarItemsDidChange() {
    std::vector<std::shared_ptr<UITabBarItem>> items;
    for (const auto& controller : controllers_) {
        items.push_back(controller->tabBarItem());
    }
    tabBar_->setItems(std::move(items));
    auto selected = selectedViewController();
    tabBar_->setSelectedItem(selected ? selected->tabBarItem() : nullptr);
}

bool UITabBarController::hidesTabBar() const {
    auto navigation = std::dynamic_pointer_cast<UINavigationController>(selectedViewController());
    return navigation && navigation->hidesBottomBar();
}

CGRect UITabBarController::contentFrame() {
    const CGRect b = isViewLoaded() ? view()->bounds() : UIScreen::mainScreen()->bounds();
    const CGFloat bar = hidesTabBar() ? 0 : UITabBar::kHeight;
    return {{0, 0}, {b.size.width, std::max<CGFloat>(0, b.size.height - bar)}};
}

bool UITabBarController::isOnScreen() {
    return isViewLoaded() && view()->window() != nullptr;
}

void UITabBarController::bottomBarVisibilityDidChange() {
    if (!isViewLoaded()) {
        return;
    }
    tabBar_->setHidden(hidesTabBar());
    if (shown_) {
        shown_->view()->setFrame(contentFrame());
    }
}

void UITabBarController::show(long index) {
    selected_ = index;
    std::shared_ptr<UIViewController> to = selectedViewController();
    tabBar_->setSelectedItem(to ? to->tabBarItem() : nullptr);
    if (!isViewLoaded() || to == shown_) {
        return;
    }
    std::shared_ptr<UIViewController> from = shown_;
    const bool onScreen = isOnScreen();
    // The view has its place before it hears that it will appear, so what
    // it does then (such as zooming a map to fit) uses its final size.
    std::shared_ptr<UIView> toView = to ? to->view() : nullptr;
    if (toView) {
        toView->setFrame(contentFrame());
        toView->setAutoresizingMask(UIViewAutoresizingFlexibleWidth |
                                    UIViewAutoresizingFlexibleHeight);
    }
    if (onScreen) {
        if (from) {
            from->viewWillDisappear(false);
        }
        if (to) {
            to->viewWillAppear(false);
        }
    }
    if (from && from->isViewLoaded()) {
        from->view()->removeFromSuperview();
    }
    shown_ = to;
    tabBar_->setHidden(hidesTabBar());
    if (toView) {
        view()->insertSubviewBelowSubview(toView, tabBar_);
    }
    if (onScreen) {
        if (from) {
            from->viewDidDisappear(false);
        }
        if (to) {
            to->viewDidAppear(false);
        }
    }
}

void UITabBarController::loadView() {
    auto view = std::make_shared<UIView>(UIScreen::mainScreen()->bounds());
    view->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    view->setBackgroundColor(UIColor::whiteColor());
    setView(view);
    const CGRect b = view->bounds();
    tabBar_->setFrame({{0, b.size.height - UITabBar::kHeight}, {b.size.width, UITabBar::kHeight}});
    tabBar_->setDelegate(std::static_pointer_cast<UITabBarController>(shared_from_this()));
    view->addSubview(tabBar_);
    show(selected_);
}

void UITabBarController::viewWillAppear(bool animated) {
    if (shown_) {
        shown_->viewWillAppear(animated);
    }
}

void UITabBarController::viewDidAppear(bool animated) {
    if (shown_) {
        shown_->viewDidAppear(animated);
    }
}

void UITabBarController::viewWillDisappear(bool animated) {
    if (shown_) {
        shown_->viewWillDisappear(animated);
    }
}

void UITabBarController::viewDidDisappear(bool animated) {
    if (shown_) {
        shown_->viewDidDisappear(animated);
    }
}

void UITabBarController::tabBarDidSelectItem(UITabBar&, UITabBarItem& item) {
    auto keep = shared_from_this();
    auto found = std::find_if(controllers_.begin(), controllers_.end(),
                              [&](const auto& c) { return c->tabBarItem().get() == &item; });
    if (found == controllers_.end()) {
        return;
    }
    std::shared_ptr<UIViewController> controller = *found;
    auto d = delegate();
    if (d && !d->tabBarControllerShouldSelectViewController(*this, *controller)) {
        // The bar already moved its selection: put it back.
        auto selected = selectedViewController();
        tabBar_->setSelectedItem(selected ? selected->tabBarItem() : nullptr);
        return;
    }
    if (controller == selectedViewController()) {
        if (auto navigation = std::dynamic_pointer_cast<UINavigationController>(controller)) {
            navigation->popToRootViewControllerAnimated(true);
        }
    } else {
        setSelectedViewController(controller);
    }
    if (d) {
        d->tabBarControllerDidSelectViewController(*this, *controller);
    }
}
