#include "app/CBRootViewController.h"

#include "UIKit/UINavigationController.h"
#include "UIKit/UIView.h"
#include "app/CBMapViewController.h"

CBRootViewController::CBRootViewController(std::shared_ptr<CBMapViewController> mapViewController)
    : mapViewController_(std::move(mapViewController)) {}

void CBRootViewController::loadView() {
    setView(std::make_shared<UIView>(CGRectMake(0, 0, 320, 480)));
    navigation_ = std::make_shared<UINavigationController>(mapViewController_);
    addChildViewController(navigation_);
    view()->addSubview(navigation_->view());
    navigation_->didMoveToParentViewController(
        std::static_pointer_cast<UIViewController>(shared_from_this()));
}

void CBRootViewController::viewWillLayoutSubviews() {
    for (const auto& child : childViewControllers())
        child->view()->setFrame(view()->bounds());
}

void CBRootViewController::transitionToMapViewControllerWithCompletion(
    std::function<void()> completion) {
    auto old = navigation_;
    if (old && old->viewControllers().size() == 1 &&
        old->viewControllers().front() == mapViewController_) {
        if (completion)
            completion();
        return;
    }
    if (old) {
        old->setViewControllersAnimated({}, false);
        old->willMoveToParentViewController(nullptr);
        old->view()->removeFromSuperview();
        old->removeFromParentViewController();
    }
    navigation_ = std::make_shared<UINavigationController>(mapViewController_);
    addChildViewController(navigation_);
    navigation_->view()->setFrame(view()->bounds());
    UIView::transitionWithViewDurationOptionsAnimationsCompletion(
        view(), 0.5, UIViewAnimationOptionTransitionCrossDissolve,
        [this] { view()->addSubview(navigation_->view()); },
        [completion](bool) {
            if (completion)
                completion();
        });
    navigation_->didMoveToParentViewController(
        std::static_pointer_cast<UIViewController>(shared_from_this()));
}
