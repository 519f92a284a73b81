#include "UIKit/UIViewController.h"

#include <algorithm>

#include "UIKit/UIApplication.h"
#include "UIKit/UIScreen.h"
#include "UIKit/UIWindow.h"

UIViewController::UIViewController() = default;

UIViewController::~UIViewController() = default;

std::shared_ptr<UIView> UIViewController::view() {
    if (!view_) {
        loadView();
        if (!view_) {
            setView(std::make_shared<UIView>(UIScreen::mainScreen()->bounds()));
        }
        viewDidLoad();
    }
    return view_;
}

void UIViewController::setView(std::shared_ptr<UIView> view) {
    if (view_) {
        view_->setViewController(nullptr);
    }
    view_ = std::move(view);
    if (view_) {
        view_->setViewController(std::static_pointer_cast<UIViewController>(shared_from_this()));
    }
}

void UIViewController::loadView() {
    auto view = std::make_shared<UIView>(UIScreen::mainScreen()->bounds());
    view->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    setView(view);
}

void UIViewController::addChildViewController(const std::shared_ptr<UIViewController>& child) {
    if (!child || child.get() == this) {
        return;
    }
    auto self = std::static_pointer_cast<UIViewController>(shared_from_this());
    if (child->parentViewController() == self) {
        return;
    }
    child->removeFromParentViewController();
    child->willMoveToParentViewController(self);
    children_.push_back(child);
    child->parent_ = self;
}

void UIViewController::removeFromParentViewController() {
    auto parent = parentViewController();
    if (!parent) {
        return;
    }
    auto self = std::static_pointer_cast<UIViewController>(shared_from_this());
    std::erase(parent->children_, self);
    parent_.reset();
    didMoveToParentViewController(nullptr);
}

std::shared_ptr<UIResponder> UIViewController::nextResponder() const {
    if (view_) {
        if (auto superview = view_->superview()) {
            return superview;
        }
    }
    return parentViewController();
}

void UIViewController::presentViewControllerAnimatedCompletion(
    const std::shared_ptr<UIViewController>& controller, bool animated,
    std::function<void()> completion) {
    if (!controller || presented_ || controller->presentingViewController()) {
        return;
    }
    std::shared_ptr<UIWindow> window = isViewLoaded() ? view_->window() : nullptr;
    if (!window) {
        window = UIApplication::sharedApplication()->keyWindow();
    }
    if (!window) {
        return;
    }
    auto self = std::static_pointer_cast<UIViewController>(shared_from_this());
    presented_ = controller;
    controller->presenting_ = self;
    controller->beingPresented_ = true;
    const CGRect bounds = window->bounds();
    std::shared_ptr<UIView> view = controller->view();
    view->setFrame(bounds);
    view->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    controller->viewWillAppear(animated);
    viewWillDisappear(animated);
    window->addSubview(view);
    auto finish = [self, controller, animated, completion](bool) {
        controller->beingPresented_ = false;
        controller->viewDidAppear(animated);
        self->viewDidDisappear(animated);
        if (completion) {
            completion();
        }
    };
    if (!animated) {
        finish(true);
        return;
    }
    if (controller->modalTransitionStyle() == UIModalTransitionStyleCrossDissolve) {
        view->setAlpha(0);
        UIView::animateWithDurationAnimationsCompletion(
            0.3, [view] { view->setAlpha(1); }, finish);
        return;
    }
    const CGPoint center = view->center();
    view->setCenter({center.x, center.y + bounds.size.height});
    UIView::animateWithDurationAnimationsCompletion(
        0.3, [view, center] { view->setCenter(center); }, finish);
}

void UIViewController::dismissViewControllerAnimatedCompletion(bool animated,
                                                               std::function<void()> completion) {
    if (!presented_) {
        if (auto presenting = presentingViewController()) {
            presenting->dismissViewControllerAnimatedCompletion(animated, std::move(completion));
        }
        return;
    }
    auto self = std::static_pointer_cast<UIViewController>(shared_from_this());
    std::shared_ptr<UIViewController> controller = presented_;
    if (controller->presented_) {
        controller->dismissViewControllerAnimatedCompletion(false, nullptr);
    }
    controller->beingDismissed_ = true;
    controller->viewWillDisappear(animated);
    viewWillAppear(animated);
    std::shared_ptr<UIView> view = controller->view();
    auto finish = [self, controller, view, animated, completion](bool) {
        view->removeFromSuperview();
        controller->beingDismissed_ = false;
        controller->presenting_.reset();
        self->presented_.reset();
        controller->viewDidDisappear(animated);
        self->viewDidAppear(animated);
        if (completion) {
            completion();
        }
    };
    if (!animated) {
        finish(true);
        return;
    }
    const CGFloat height = view->bounds().size.height;
    if (controller->modalTransitionStyle() == UIModalTransitionStyleCrossDissolve) {
        UIView::animateWithDurationAnimationsCompletion(
            0.3, [view] { view->setAlpha(0); }, finish);
        return;
    }
    UIView::animateWithDurationAnimationsCompletion(
        0.3,
        [view, height] {
            const CGPoint c = view->center();
            view->setCenter({c.x, c.y + height});
        },
        finish);
}
