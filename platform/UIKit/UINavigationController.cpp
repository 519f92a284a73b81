#include "UIKit/UINavigationController.h"

#include <algorithm>

#include "UIKit/UINavigationItem.h"
#include "UIKit/UIScreen.h"
#include "UIKit/UITabBarController.h"
#include "UIKit/UIWindow.h"

namespace {

constexpr double kSlideDuration = 0.3;

bool contains(const std::vector<std::shared_ptr<UIViewController>>& list,
              const std::shared_ptr<UIViewController>& controller) {
    return std::find(list.begin(), list.end(), controller) != list.end();
}

}  // namespace

UINavigationController::UINavigationController()
    : bar_(std::make_shared<UINavigationBar>(
          CGRect{{0, 0}, {UIScreen::mainScreen()->bounds().size.width, UINavigationBar::kHeight}})),
      toolbar_(std::make_shared<UIToolbar>(
          CGRect{{0, 0}, {UIScreen::mainScreen()->bounds().size.width, UIToolbar::kHeight}})) {
    toolbar_->setHidden(true);
}

UINavigationController::UINavigationController(std::shared_ptr<UIViewController> rootViewController)
    : UINavigationController() {
    if (rootViewController && !rootViewController->parentViewController()) {
        rootViewController->pendingParent_ = this;
        pending_.push_back(std::move(rootViewController));
    }
}

UINavigationController::~UINavigationController() {
    for (const auto& controller : pending_) {
        controller->pendingParent_ = nullptr;
    }
}

void UINavigationController::adoptPending() {
    if (adopted_) {
        return;
    }
    adopted_ = true;
    bar_->setDelegate(std::static_pointer_cast<UINavigationController>(shared_from_this()));
    for (const auto& controller : pending_) {
        controller->pendingParent_ = nullptr;
        addChildViewController(controller);
        stack_.push_back(controller);
        controller->didMoveToParentViewController(
            std::static_pointer_cast<UIViewController>(shared_from_this()));
    }
    pending_.clear();
    syncBarItems(false);
}

void UINavigationController::syncBarItems(bool animated) {
    std::vector<std::shared_ptr<UINavigationItem>> items;
    items.reserve(stack_.size());
    for (const auto& controller : stack_) {
        items.push_back(controller->navigationItem());
    }
    bar_->setItemsAnimated(std::move(items), animated);
}

std::vector<std::shared_ptr<UIViewController>> UINavigationController::viewControllers() {
    adoptPending();
    return stack_;
}

std::shared_ptr<UIViewController> UINavigationController::topViewController() {
    adoptPending();
    return stack_.empty() ? nullptr : stack_.back();
}

std::shared_ptr<UIViewController> UINavigationController::visibleViewController() {
    if (auto presented = presentedViewController()) {
        return presented;
    }
    return topViewController();
}

CGRect UINavigationController::contentFrame() {
    const CGRect b = isViewLoaded() ? view()->bounds() : UIScreen::mainScreen()->bounds();
    const CGFloat top = barHidden_ ? 0 : UINavigationBar::kHeight;
    const CGFloat bottom = showsToolbar() ? UIToolbar::kHeight : 0;
    return {{0, top}, {b.size.width, std::max<CGFloat>(0, b.size.height - top - bottom)}};
}

bool UINavigationController::hidesBottomBar() {
    adoptPending();
    return std::any_of(stack_.begin(), stack_.end(),
                       [](const auto& c) { return c->hidesBottomBarWhenPushed(); });
}

bool UINavigationController::showsToolbar() {
    return !toolbarHidden_;
}

CGRect UINavigationController::toolbarFrame() {
    const CGRect b = view()->bounds();
    return {{0, b.size.height - UIToolbar::kHeight}, {b.size.width, UIToolbar::kHeight}};
}

void UINavigationController::setGuidesOf(UIViewController& controller) {
    controller.setLayoutGuideLengths(barHidden_ ? 0 : UINavigationBar::kHeight,
                                     showsToolbar() ? UIToolbar::kHeight : 0);
}

void UINavigationController::layoutBars() {
    if (!isViewLoaded()) {
        return;
    }
    toolbar_->setFrame(toolbarFrame());
    toolbar_->setHidden(!showsToolbar());
    if (shown_) {
        shown_->view()->setFrame(contentFrame());
        setGuidesOf(*shown_);
    }
}

void UINavigationController::showToolbarFor(const std::shared_ptr<UIViewController>& to,
                                            bool animated) {
    auto self = std::static_pointer_cast<UINavigationController>(shared_from_this());
    toolbar_->setFrame(toolbarFrame());
    const std::vector<std::shared_ptr<UIBarButtonItem>> items =
        to ? to->toolbarItems() : std::vector<std::shared_ptr<UIBarButtonItem>>{};
    const bool shows = showsToolbar();
    if (animated && toolbar_->isHidden() == shows) {
        // The toolbar fades with the slide (keeping the leaving screen's items
        // while it fades out) instead of popping in or out.
        std::shared_ptr<UIToolbar> bar = toolbar_;
        if (shows) {
            bar->setItems(items);
        }
        bar->setHidden(false);
        bar->setAlpha(shows ? 0 : 1);
        UIView::animateWithDurationAnimationsCompletion(
            kSlideDuration, [bar, shows] { bar->setAlpha(shows ? 1 : 0); },
            [self, bar](bool) {
                bar->setAlpha(1);
                bar->setHidden(!self->showsToolbar());
                if (bar->isHidden()) {
                    auto top = self->topViewController();
                    bar->setItems(top ? top->toolbarItems()
                                      : std::vector<std::shared_ptr<UIBarButtonItem>>{});
                }
            });
    } else {
        toolbar_->setItemsAnimated(items, animated);
        toolbar_->setHidden(!shows);
    }
}

void UINavigationController::setToolbarHiddenAnimated(bool hidden, bool animated) {
    if (toolbarHidden_ == hidden) {
        return;
    }
    toolbarHidden_ = hidden;
    if (!isViewLoaded()) {
        return;
    }
    auto self = std::static_pointer_cast<UINavigationController>(shared_from_this());
    if (!animated || !isOnScreen()) {
        layoutBars();
        return;
    }
    // Slides in from below the screen or out to it.
    const CGRect in = toolbarFrame();
    const CGRect out = CGRectOffset(in, 0, UIToolbar::kHeight);
    toolbar_->setHidden(false);
    toolbar_->setFrame(hidden ? in : out);
    std::shared_ptr<UIToolbar> bar = toolbar_;
    UIView::animateWithDurationAnimationsCompletion(
        kSlideDuration,
        [self, bar, hidden, in, out] {
            bar->setFrame(hidden ? out : in);
            if (self->shown_) {
                self->shown_->view()->setFrame(self->contentFrame());
            }
        },
        [self](bool) { self->layoutBars(); });
}

bool UINavigationController::isOnScreen() {
    return isViewLoaded() && view()->window() != nullptr;
}

void UINavigationController::loadView() {
    auto view = std::make_shared<UIView>(UIScreen::mainScreen()->bounds());
    view->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    view->setBackgroundColor(UIColor::whiteColor());
    setView(view);
    adoptPending();
    const CGRect b = view->bounds();
    bar_->setFrame({{0, 0}, {b.size.width, UINavigationBar::kHeight}});
    bar_->setHidden(barHidden_);
    view->addSubview(bar_);
    view->addSubview(toolbar_);
    if (auto top = topViewController()) {
        transition(nullptr, top, Direction::Push, false, {});
    }
}

void UINavigationController::viewWillAppear(bool animated) {
    if (auto top = topViewController()) {
        top->viewWillAppear(animated);
    }
}

void UINavigationController::viewDidAppear(bool animated) {
    if (auto top = topViewController()) {
        top->viewDidAppear(animated);
    }
}

void UINavigationController::viewWillDisappear(bool animated) {
    if (auto top = topViewController()) {
        top->viewWillDisappear(animated);
    }
}

void UINavigationController::viewDidDisappear(bool animated) {
    if (auto top = topViewController()) {
        top->viewDidDisappear(animated);
    }
}

void UINavigationController::pushViewControllerAnimated(
    const std::shared_ptr<UIViewController>& controller, bool animated) {
    adoptPending();
    if (!controller || contains(stack_, controller) || controller.get() == this) {
        return;
    }
    std::shared_ptr<UIViewController> from = topViewController();
    addChildViewController(controller);
    stack_.push_back(controller);
    syncBarItems(animated);
    transition(from, controller, Direction::Push, animated, {});
}

std::shared_ptr<UIViewController> UINavigationController::popViewControllerAnimated(bool animated) {
    adoptPending();
    if (stack_.size() < 2) {
        return nullptr;
    }
    std::vector<std::shared_ptr<UIViewController>> popped =
        popToViewControllerAnimated(stack_[stack_.size() - 2], animated);
    return popped.empty() ? nullptr : popped.front();
}

std::vector<std::shared_ptr<UIViewController>>
UINavigationController::popToRootViewControllerAnimated(bool animated) {
    adoptPending();
    if (stack_.empty()) {
        return {};
    }
    return popToViewControllerAnimated(stack_.front(), animated);
}

std::vector<std::shared_ptr<UIViewController>> UINavigationController::popToViewControllerAnimated(
    const std::shared_ptr<UIViewController>& controller, bool animated) {
    adoptPending();
    auto target = std::find(stack_.begin(), stack_.end(), controller);
    if (target == stack_.end() || target + 1 == stack_.end()) {
        return {};
    }
    std::shared_ptr<UIViewController> from = stack_.back();
    std::vector<std::shared_ptr<UIViewController>> popped(target + 1, stack_.end());
    std::reverse(popped.begin(), popped.end());
    stack_.erase(target + 1, stack_.end());
    for (const auto& leaving : popped) {
        leaving->willMoveToParentViewController(nullptr);
    }
    syncBarItems(animated);
    transition(from, controller, Direction::Pop, animated, popped);
    return popped;
}

void UINavigationController::setViewControllersAnimated(
    std::vector<std::shared_ptr<UIViewController>> controllers, bool animated) {
    adoptPending();
    std::erase(controllers, nullptr);
    // A controller listed twice keeps its first place.
    std::vector<std::shared_ptr<UIViewController>> unique;
    for (const auto& controller : controllers) {
        if (!contains(unique, controller) && controller.get() != this) {
            unique.push_back(controller);
        }
    }
    std::shared_ptr<UIViewController> from = topViewController();
    std::vector<std::shared_ptr<UIViewController>> leaving;
    for (const auto& old : stack_) {
        if (!contains(unique, old)) {
            old->willMoveToParentViewController(nullptr);
            leaving.push_back(old);
        }
    }
    for (const auto& controller : unique) {
        if (!contains(stack_, controller)) {
            addChildViewController(controller);
        }
    }
    stack_ = std::move(unique);
    syncBarItems(animated);
    std::shared_ptr<UIViewController> to = topViewController();
    const Direction direction = contains(stack_, from) ? Direction::Push : Direction::Pop;
    transition(from, to, direction, animated, std::move(leaving));
}

void UINavigationController::transition(const std::shared_ptr<UIViewController>& from,
                                        const std::shared_ptr<UIViewController>& to,
                                        Direction direction, bool animated,
                                        std::vector<std::shared_ptr<UIViewController>> leaving) {
    auto self = std::static_pointer_cast<UINavigationController>(shared_from_this());
    auto settle = [self, to, direction, leaving]() {
        for (const auto& controller : leaving) {
            controller->removeFromParentViewController();
        }
        if (to && direction == Direction::Push && to->parentViewController() == self) {
            to->didMoveToParentViewController(self);
        }
    };
    if (!isViewLoaded()) {
        // The view shows the top controller when it loads.
        settle();
        return;
    }
    if (from == to) {
        if (from && shown_ != from) {
            transition(shown_, to, direction, false, {});
        }
        settle();
        return;
    }
    const bool onScreen = isOnScreen();
    animated = animated && onScreen && from && to;
    if (auto tabs = tabBarController()) {
        tabs->bottomBarVisibilityDidChange();
    }
    showToolbarFor(to, animated);
    CGRect frame = contentFrame();
    std::shared_ptr<UIView> fromView = from && from->isViewLoaded() ? from->view() : nullptr;
    std::shared_ptr<UIView> toView = to ? to->view() : nullptr;
    // A controller may push another as its view loads (a screen restoring
    // the one the user left over it); that push has shown the new top.
    if (to && to != topViewController()) {
        settle();
        return;
    }
    if (toView) {
        toView->setFrame(frame);
        toView->setAutoresizingMask(UIViewAutoresizingFlexibleWidth |
                                    UIViewAutoresizingFlexibleHeight);
        setGuidesOf(*to);
    }
    if (onScreen) {
        if (from) {
            from->viewWillDisappear(animated);
        }
        if (to) {
            to->viewWillAppear(animated);
        }
    }
    // A screen may show or hide the toolbar as it is about to appear.
    if (toView && !CGRectEqualToRect(contentFrame(), frame)) {
        frame = contentFrame();
        toView->setFrame(frame);
        setGuidesOf(*to);
    }
    if (toView) {
        if (direction == Direction::Pop && fromView && fromView->superview() == view()) {
            view()->insertSubviewBelowSubview(toView, fromView);
        } else {
            view()->insertSubviewBelowSubview(toView, bar_);
        }
    }
    shown_ = to;
    auto finish = [self, from, to, fromView, frame, onScreen, animated, settle](bool) {
        if (fromView && self->shown_ != from) {
            fromView->removeFromSuperview();
            fromView->setFrame(frame);
        }
        if (onScreen) {
            if (from) {
                from->viewDidDisappear(animated);
            }
            if (to) {
                to->viewDidAppear(animated);
            }
        }
        settle();
    };
    if (!animated) {
        finish(true);
        return;
    }
    const CGFloat width = frame.size.width;
    const bool push = direction == Direction::Push;
    toView->setFrame(CGRectOffset(frame, push ? width : -width / 3, 0));
    UIView::animateWithDurationAnimationsCompletion(
        kSlideDuration,
        [toView, fromView, frame, width, push] {
            toView->setFrame(frame);
            if (fromView) {
                fromView->setFrame(CGRectOffset(frame, push ? -width / 3 : width, 0));
            }
        },
        finish);
}

void UINavigationController::setNavigationBarHiddenAnimated(bool hidden, bool animated) {
    if (barHidden_ == hidden) {
        return;
    }
    barHidden_ = hidden;
    if (!isViewLoaded()) {
        bar_->setHidden(hidden);
        return;
    }
    const CGRect frame = contentFrame();
    const CGFloat barWidth = view()->bounds().size.width;
    std::shared_ptr<UINavigationBar> bar = bar_;
    std::shared_ptr<UIViewController> shown = shown_;
    if (shown) {
        setGuidesOf(*shown);
    }
    auto apply = [bar, shown, frame, barWidth, hidden] {
        bar->setFrame(
            {{0, hidden ? -UINavigationBar::kHeight : 0}, {barWidth, UINavigationBar::kHeight}});
        if (shown) {
            shown->view()->setFrame(frame);
        }
    };
    if (!hidden) {
        bar->setHidden(false);
    }
    auto done = [bar, hidden](bool) {
        if (hidden) {
            bar->setHidden(true);
        }
    };
    if (animated && isOnScreen()) {
        UIView::animateWithDurationAnimationsCompletion(kSlideDuration, apply, done);
    } else {
        apply();
        done(true);
    }
}

bool UINavigationController::navigationBarShouldPopItem(UINavigationBar&, UINavigationItem& item) {
    std::shared_ptr<UIViewController> top = topViewController();
    if (top && top->navigationItem().get() == &item) {
        popViewControllerAnimated(true);
    }
    // The pop above has already taken the item off the bar.
    return false;
}
