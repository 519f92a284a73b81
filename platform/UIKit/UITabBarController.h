#pragma once

#include <memory>
#include <vector>

#include "UIKit/UITabBar.h"
#include "UIKit/UIViewController.h"

class UITabBarController;

class UITabBarControllerDelegate {
  public:
    virtual ~UITabBarControllerDelegate() = default;
    // Asked before a tap on a tab selects its controller.
    virtual bool tabBarControllerShouldSelectViewController(UITabBarController&,
                                                            UIViewController&) {
        return true;
    }
    // After a tap selected a controller (also the one already selected).
    virtual void tabBarControllerDidSelectViewController(UITabBarController&, UIViewController&) {}
};

// Screens side by side behind a tab bar: the bar shows each controller's tab
// bar item and the selected controller's view fills the room above the bar.
// The controllers are its children; switching sends the appearance calls
// while on screen. A tap on the tab already selected takes a navigation
// stack back to its root. The bar hides while the selected navigation
// stack holds a controller that hides the bottom bar when pushed.
class UITabBarController : public UIViewController, public UITabBarDelegate {
  public:
    // Index of no selection.
    static constexpr long kNotFound = -1;

    UITabBarController();

    const std::vector<std::shared_ptr<UIViewController>>& viewControllers() const {
        return controllers_;
    }
    void setViewControllers(std::vector<std::shared_ptr<UIViewController>> controllers) {
        setViewControllersAnimated(std::move(controllers), false);
    }
    // The selection stays on its controller when it remains, else the first.
    void setViewControllersAnimated(std::vector<std::shared_ptr<UIViewController>> controllers,
                                    bool animated);
    std::shared_ptr<UIViewController> selectedViewController() const;
    // A tap on a tab selects through here too, so a subclass hears of every
    // choice the user makes.
    virtual void setSelectedViewController(const std::shared_ptr<UIViewController>& controller);
    long selectedIndex() const { return selected_; }
    // An index out of range is ignored.
    void setSelectedIndex(long index);

    const std::shared_ptr<UITabBar>& tabBar() const { return tabBar_; }
    std::shared_ptr<UITabBarControllerDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<UITabBarControllerDelegate> delegate) {
        delegate_ = std::move(delegate);
    }

    // Called by the children: their tab bar item or their stack changed.
    void tabBarItemsDidChange();
    void bottomBarVisibilityDidChange();

    void loadView() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void viewDidDisappear(bool animated) override;
    void tabBarDidSelectItem(UITabBar& bar, UITabBarItem& item) override;

  private:
    void show(long index);
    bool hidesTabBar() const;
    CGRect contentFrame();
    bool isOnScreen();

    std::vector<std::shared_ptr<UIViewController>> controllers_;
    long selected_ = kNotFound;
    // The controller whose view is in place.
    std::shared_ptr<UIViewController> shown_;
    std::shared_ptr<UITabBar> tabBar_;
    std::weak_ptr<UITabBarControllerDelegate> delegate_;
};
