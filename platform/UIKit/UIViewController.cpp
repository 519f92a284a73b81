#include "UIKit/UIViewController.h"

#include <algorithm>

#include "UIKit/UIApplication.h"
#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UIDevice.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UINavigationItem.h"
#include "UIKit/UIPopoverPresentationController.h"
#include "UIKit/UIScreen.h"
#include "UIKit/UITabBarController.h"
#include "UIKit/UITabBarItem.h"
#include "UIKit/UIWindow.h"

namespace {

constexpr CGSize kFormSheetSize{540, 620};
constexpr CGFloat kPageSheetWidth = 768;

}  // namespace

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

void UIViewController::setTitle(const std::string& title) {
    title_ = title;
    if (navigationItem_) {
        navigationItem_->setTitle(title);
    }
    if (tabBarItem_) {
        tabBarItem_->setTitle(title);
    }
}

const std::shared_ptr<UITabBarItem>& UIViewController::tabBarItem() {
    if (!tabBarItem_) {
        tabBarItem_ = std::make_shared<UITabBarItem>(
            title_.empty() ? std::nullopt : std::optional<std::string>(title_), nullptr, 0);
    }
    return tabBarItem_;
}

void UIViewController::setTabBarItem(std::shared_ptr<UITabBarItem> item) {
    tabBarItem_ = std::move(item);
    if (auto tabs = tabBarController()) {
        tabs->tabBarItemsDidChange();
    }
}

std::shared_ptr<UITabBarController> UIViewController::tabBarController() const {
    for (auto parent = parentViewController(); parent; parent = parent->parentViewController()) {
        if (auto tabs = std::dynamic_pointer_cast<UITabBarController>(parent)) {
            return tabs;
        }
    }
    return nullptr;
}

void UIViewController::setToolbarItemsAnimated(std::vector<std::shared_ptr<UIBarButtonItem>> items,
                                               bool animated) {
    toolbarItems_ = std::move(items);
    auto navigation = navigationController();
    if (navigation && navigation->topViewController().get() == this) {
        navigation->toolbar()->setItemsAnimated(toolbarItems_, animated);
    }
}

void UIViewController::setNeedsStatusBarAppearanceUpdate() {
    auto application = UIApplication::sharedApplication();
    application->setStatusBarHidden(prefersStatusBarHidden());
    application->setStatusBarStyle(preferredStatusBarStyle());
}

void UIViewController::setEditingAnimated(bool editing, bool) {
    editing_ = editing;
    updateEditButton();
}

void UIViewController::updateEditButton() {
    if (editButtonItem_) {
        editButtonItem_->setStyle(editing_ ? UIBarButtonItemStyleDone : UIBarButtonItemStylePlain);
        editButtonItem_->setTitle(editing_ ? "Done" : "Edit");
    }
}

std::shared_ptr<UIBarButtonItem> UIViewController::editButtonItem() {
    if (!editButtonItem_) {
        std::weak_ptr<UIViewController> weak =
            std::static_pointer_cast<UIViewController>(shared_from_this());
        editButtonItem_ =
            std::make_shared<UIBarButtonItem>(UIBarButtonSystemItemEdit, [weak](UIBarButtonItem&) {
                if (auto self = weak.lock()) {
                    self->setEditingAnimated(!self->isEditing(), true);
                }
            });
        updateEditButton();
    }
    return editButtonItem_;
}

const std::shared_ptr<UINavigationItem>& UIViewController::navigationItem() {
    if (!navigationItem_) {
        navigationItem_ = std::make_shared<UINavigationItem>(
            title_.empty() ? std::nullopt : std::optional<std::string>(title_));
    }
    return navigationItem_;
}

std::shared_ptr<UIViewController> UIViewController::parentViewController() const {
    if (auto parent = parent_.lock()) {
        return parent;
    }
    if (pendingParent_) {
        return std::static_pointer_cast<UIViewController>(pendingParent_->weak_from_this().lock());
    }
    return nullptr;
}

std::shared_ptr<UINavigationController> UIViewController::navigationController() const {
    for (auto parent = parentViewController(); parent; parent = parent->parentViewController()) {
        if (auto navigation = std::dynamic_pointer_cast<UINavigationController>(parent)) {
            return navigation;
        }
    }
    return nullptr;
}

bool UIViewController::shouldAutorotateToInterfaceOrientation(
    UIInterfaceOrientation orientation) const {
    return orientation == UIInterfaceOrientationPortrait;
}

unsigned long UIViewController::supportedInterfaceOrientations() const {
    return UI_USER_INTERFACE_IDIOM() == UIUserInterfaceIdiomPad
               ? UIInterfaceOrientationMaskAll
               : UIInterfaceOrientationMaskAllButUpsideDown;
}

std::shared_ptr<UIViewController> UIViewController::presentingViewController() const {
    if (auto presenting = presenting_.lock()) {
        return presenting;
    }
    auto parent = parentViewController();
    return parent ? parent->presentingViewController() : nullptr;
}

std::shared_ptr<UIPopoverPresentationController> UIViewController::popoverPresentationController() {
    if (presentationStyle_ != UIModalPresentationPopover) {
        return nullptr;
    }
    if (!popoverPresentation_) {
        popoverPresentation_ = std::make_shared<UIPopoverPresentationController>();
    }
    return popoverPresentation_;
}

bool UIViewController::presentsInPopover() const {
    return presentationStyle_ == UIModalPresentationPopover &&
           UI_USER_INTERFACE_IDIOM() == UIUserInterfaceIdiomPad;
}

CGRect UIViewController::presentedFrame(const CGRect& windowBounds) const {
    if (UI_USER_INTERFACE_IDIOM() != UIUserInterfaceIdiomPad) {
        return windowBounds;
    }
    CGSize size = windowBounds.size;
    if (presentationStyle_ == UIModalPresentationFormSheet) {
        size = kFormSheetSize;
    } else if (presentationStyle_ == UIModalPresentationPageSheet) {
        size.width = kPageSheetWidth;
    } else {
        return windowBounds;
    }
    size.width = std::min(size.width, windowBounds.size.width);
    size.height = std::min(size.height, windowBounds.size.height);
    return {{windowBounds.origin.x + (windowBounds.size.width - size.width) / 2,
             windowBounds.origin.y + (windowBounds.size.height - size.height) / 2},
            size};
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
    if (pendingParent_) {
        std::erase(static_cast<UINavigationController*>(pendingParent_)->pending_, self);
        pendingParent_ = nullptr;
    }
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
    if (!controller || presented_ || controller->presenting_.lock()) {
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
    if (controller->presentsInPopover()) {
        // The presenter stays on screen beside the popover.
        std::weak_ptr<UIViewController> presenter = self, presented = controller;
        controller->popoverPresentationController()->show(
            controller, animated, [presenter, presented] {
                auto shown = presented.lock();
                if (shown)
                    shown->presenting_.reset();
                if (auto owner = presenter.lock(); owner && owner->presented_ == shown)
                    owner->presented_.reset();
            });
        if (completion)
            completion();
        return;
    }
    controller->beingPresented_ = true;
    const CGRect bounds = window->bounds();
    const CGRect frame = controller->presentedFrame(bounds);
    std::shared_ptr<UIView> view = controller->view();
    view->setFrame(frame);
    if (CGRectEqualToRect(frame, bounds)) {
        view->setAutoresizingMask(UIViewAutoresizingFlexibleWidth |
                                  UIViewAutoresizingFlexibleHeight);
    } else {
        view->setAutoresizingMask(
            UIViewAutoresizingFlexibleLeftMargin | UIViewAutoresizingFlexibleRightMargin |
            UIViewAutoresizingFlexibleTopMargin | UIViewAutoresizingFlexibleBottomMargin);
        auto dimming = std::make_shared<UIView>(bounds);
        dimming->setBackgroundColor(UIColor::colorWithWhiteAlpha(0, 0.4));
        dimming->setAutoresizingMask(UIViewAutoresizingFlexibleWidth |
                                     UIViewAutoresizingFlexibleHeight);
        window->addSubview(dimming);
        controller->dimmingView_ = dimming;
    }
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
    if (controller->popoverPresentation_ && controller->popoverPresentation_->isShowing()) {
        controller->popoverPresentation_->hide(animated);
        controller->presenting_.reset();
        presented_.reset();
        if (completion) {
            completion();
        }
        return;
    }
    controller->beingDismissed_ = true;
    controller->viewWillDisappear(animated);
    viewWillAppear(animated);
    std::shared_ptr<UIView> view = controller->view();
    auto finish = [self, controller, view, animated, completion](bool) {
        view->removeFromSuperview();
        if (controller->dimmingView_) {
            controller->dimmingView_->removeFromSuperview();
            controller->dimmingView_.reset();
        }
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
