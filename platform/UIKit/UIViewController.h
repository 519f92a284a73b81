#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "UIKit/UIInterfaceOrientation.h"
#include "UIKit/UIResponder.h"
#include "UIKit/UIStatusBarStyle.h"
#include "UIKit/UIView.h"

enum UIModalPresentationStyle : long {
    UIModalPresentationFullScreen = 0,
    UIModalPresentationPageSheet,
    UIModalPresentationFormSheet,
    UIModalPresentationCurrentContext,
    UIModalPresentationOverFullScreen = 5,
    UIModalPresentationPopover = 7,
};

class UIBarButtonItem;
class UINavigationController;
class UINavigationItem;
class UIPopoverPresentationController;
class UITabBarController;
class UITabBarItem;

enum UIModalTransitionStyle : long {
    UIModalTransitionStyleCoverVertical = 0,
    UIModalTransitionStyleFlipHorizontal,
    UIModalTransitionStyleCrossDissolve,
};

// Manages one view tree: loads it on first use (loadView, then
// viewDidLoad), reports appearing and disappearing, holds child controllers
// and presents others modally over the window.
class UIViewController : public UIResponder {
  public:
    UIViewController();
    ~UIViewController() override;

    // Loads the view when needed.
    std::shared_ptr<UIView> view();
    bool isViewLoaded() const { return view_ != nullptr; }
    void setView(std::shared_ptr<UIView> view);
    virtual void loadView();
    virtual void viewDidLoad() {}
    virtual void viewWillAppear(bool) {}
    virtual void viewDidAppear(bool) {}
    virtual void viewWillDisappear(bool) {}
    virtual void viewDidDisappear(bool) {}
    virtual void viewWillLayoutSubviews() {}
    virtual void viewDidLayoutSubviews() {}
    virtual void didReceiveMemoryWarning() {}

    const std::string& title() const { return title_; }
    // Also the navigation item's title.
    virtual void setTitle(const std::string& title);
    // What a navigation bar shows while this controller is on top; made on
    // first use with the controller's title.
    const std::shared_ptr<UINavigationItem>& navigationItem();
    // The nearest navigation controller among the ancestors.
    std::shared_ptr<UINavigationController> navigationController() const;

    // The nearest tab bar controller among the ancestors.
    std::shared_ptr<UITabBarController> tabBarController() const;
    // What a tab bar shows for this controller; made on first use with the
    // controller's title and no image.
    const std::shared_ptr<UITabBarItem>& tabBarItem();
    void setTabBarItem(std::shared_ptr<UITabBarItem> item);

    // The buttons a navigation controller's toolbar shows while this
    // controller is on top.
    const std::vector<std::shared_ptr<UIBarButtonItem>>& toolbarItems() const {
        return toolbarItems_;
    }
    void setToolbarItems(std::vector<std::shared_ptr<UIBarButtonItem>> items) {
        setToolbarItemsAnimated(std::move(items), false);
    }
    void setToolbarItemsAnimated(std::vector<std::shared_ptr<UIBarButtonItem>> items,
                                 bool animated);
    // While on top of a navigation stack, the toolbar and the tab bar of the
    // containers hide and the screen takes their room.
    bool hidesBottomBarWhenPushed() const { return hidesBottomBar_; }
    void setHidesBottomBarWhenPushed(bool flag) { hidesBottomBar_ = flag; }

    // Editing mode; containers such as table controllers pass it on.
    // Overrides call this one, which keeps the edit button's title.
    bool isEditing() const { return editing_; }
    void setEditing(bool editing) { setEditingAnimated(editing, false); }
    virtual void setEditingAnimated(bool editing, bool animated);
    // A bar item titled Edit, or Done while editing, that toggles editing
    // (animated).
    std::shared_ptr<UIBarButtonItem> editButtonItem();

    // Rotation: the older per-orientation question (portrait only unless
    // overridden) and the newer pair.
    virtual bool shouldAutorotateToInterfaceOrientation(UIInterfaceOrientation orientation) const;
    virtual bool shouldAutorotate() const { return true; }
    virtual unsigned long supportedInterfaceOrientations() const;

    // Containment.
    std::shared_ptr<UIViewController> parentViewController() const;
    const std::vector<std::shared_ptr<UIViewController>>& childViewControllers() const {
        return children_;
    }
    void addChildViewController(const std::shared_ptr<UIViewController>& child);
    void removeFromParentViewController();
    virtual void willMoveToParentViewController(const std::shared_ptr<UIViewController>&) {}
    virtual void didMoveToParentViewController(const std::shared_ptr<UIViewController>&) {}

    // Modal presentation: the presented controller's view covers the window
    // (sliding up when animated); completion runs when it is in place. Pad
    // form and page sheets are centred over a dimmed window instead, and the
    // popover style shows in a popover (UIPopoverPresentationController).
    void presentViewControllerAnimatedCompletion(
        const std::shared_ptr<UIViewController>& controller, bool animated,
        std::function<void()> completion);
    // Dismisses the controller this one presents, or the one that presents
    // this one (or an ancestor).
    void dismissViewControllerAnimatedCompletion(bool animated, std::function<void()> completion);
    std::shared_ptr<UIViewController> presentedViewController() const { return presented_; }
    // The controller presenting this one or its nearest presented ancestor.
    std::shared_ptr<UIViewController> presentingViewController() const;
    UIModalPresentationStyle modalPresentationStyle() const { return presentationStyle_; }
    void setModalPresentationStyle(UIModalPresentationStyle s) { presentationStyle_ = s; }
    // Where the popover style points; made on first use, nullptr in any
    // other style.
    std::shared_ptr<UIPopoverPresentationController> popoverPresentationController();
    UIModalTransitionStyle modalTransitionStyle() const { return transitionStyle_; }
    void setModalTransitionStyle(UIModalTransitionStyle s) { transitionStyle_ = s; }
    bool isBeingPresented() const { return beingPresented_; }
    bool isBeingDismissed() const { return beingDismissed_; }

    CGSize preferredContentSize() const { return preferredContentSize_; }
    void setPreferredContentSize(CGSize size) { preferredContentSize_ = size; }
    // The size a popover gives this controller's view (the older name of
    // the preferred content size, which it answers unless overridden).
    virtual CGSize contentSizeForViewInPopover() const { return preferredContentSize_; }

    // What the status bar should look like while this controller shows;
    // setNeedsStatusBarAppearanceUpdate applies it to the application.
    virtual bool prefersStatusBarHidden() const { return false; }
    virtual UIStatusBarStyle preferredStatusBarStyle() const { return UIStatusBarStyleDefault; }
    void setNeedsStatusBarAppearanceUpdate();
    bool automaticallyAdjustsScrollViewInsets() const { return adjustsInsets_; }
    void setAutomaticallyAdjustsScrollViewInsets(bool flag) { adjustsInsets_ = flag; }
    // Lengths of the bars covering the top and bottom of the view (set by
    // containers); 0 without bars.
    CGFloat topLayoutGuideLength() const { return topGuide_; }
    CGFloat bottomLayoutGuideLength() const { return bottomGuide_; }
    void setLayoutGuideLengths(CGFloat top, CGFloat bottom) {
        topGuide_ = top;
        bottomGuide_ = bottom;
    }

    std::shared_ptr<UIResponder> nextResponder() const override;

  private:
    friend class UINavigationController;

    CGRect presentedFrame(const CGRect& windowBounds) const;
    // Whether a presentation in this controller's style shows in a popover.
    bool presentsInPopover() const;
    void updateEditButton();

    std::shared_ptr<UIView> view_;
    std::string title_;
    std::shared_ptr<UINavigationItem> navigationItem_;
    std::shared_ptr<UITabBarItem> tabBarItem_;
    std::shared_ptr<UIBarButtonItem> editButtonItem_;
    std::vector<std::shared_ptr<UIBarButtonItem>> toolbarItems_;
    bool hidesBottomBar_ = false;
    // The shade behind a sheet while it is presented.
    std::shared_ptr<UIView> dimmingView_;
    std::weak_ptr<UIViewController> parent_;
    // A navigation controller made around this one, until it takes this one
    // as its child (it cannot while it is being constructed); it clears this
    // when it goes first.
    UIViewController* pendingParent_ = nullptr;
    std::vector<std::shared_ptr<UIViewController>> children_;
    std::shared_ptr<UIViewController> presented_;
    std::weak_ptr<UIViewController> presenting_;
    UIModalPresentationStyle presentationStyle_ = UIModalPresentationFullScreen;
    std::shared_ptr<UIPopoverPresentationController> popoverPresentation_;
    UIModalTransitionStyle transitionStyle_ = UIModalTransitionStyleCoverVertical;
    bool editing_ = false;
    bool beingPresented_ = false;
    bool beingDismissed_ = false;
    CGSize preferredContentSize_{};
    bool adjustsInsets_ = true;
    CGFloat topGuide_ = 0;
    CGFloat bottomGuide_ = 0;
};

using UIViewControllerRef = std::shared_ptr<UIViewController>;
