#pragma once

#include <memory>
#include <vector>

#include "UIKit/UINavigationBar.h"
#include "UIKit/UIToolbar.h"
#include "UIKit/UIViewController.h"

// A stack of controllers under a navigation bar: the top controller's view
// fills the space below the bar; pushing slides the new one in from the
// right, popping slides it back out. The controllers are its children and
// receive the appearance calls the stack's changes cause while the stack is
// on screen.
//
// A toolbar (hidden until asked for) runs along the bottom with the top
// controller's toolbar items; it stays hidden while a controller that
// hides the bottom bar when pushed is on the stack. The top controller's
// view fills the room between the bars, and its layout guides say how
// long the bars are.
class UINavigationController : public UIViewController, public UINavigationBarDelegate {
  public:
    UINavigationController();
    explicit UINavigationController(std::shared_ptr<UIViewController> rootViewController);
    ~UINavigationController() override;

    std::vector<std::shared_ptr<UIViewController>> viewControllers();
    void setViewControllersAnimated(std::vector<std::shared_ptr<UIViewController>> controllers,
                                    bool animated);
    void pushViewControllerAnimated(const std::shared_ptr<UIViewController>& controller,
                                    bool animated);
    // The controller popped; nullptr when only the root is left. The back
    // button pops through it.
    virtual std::shared_ptr<UIViewController> popViewControllerAnimated(bool animated);
    // The controllers popped, top first.
    std::vector<std::shared_ptr<UIViewController>> popToRootViewControllerAnimated(bool animated);
    std::vector<std::shared_ptr<UIViewController>> popToViewControllerAnimated(
        const std::shared_ptr<UIViewController>& controller, bool animated);

    std::shared_ptr<UIViewController> topViewController();
    // What is on screen: a controller presented by this one, else the top.
    std::shared_ptr<UIViewController> visibleViewController();

    const std::shared_ptr<UINavigationBar>& navigationBar() const { return bar_; }
    bool isNavigationBarHidden() const { return barHidden_; }
    void setNavigationBarHidden(bool hidden) { setNavigationBarHiddenAnimated(hidden, false); }
    void setNavigationBarHiddenAnimated(bool hidden, bool animated);

    const std::shared_ptr<UIToolbar>& toolbar() const { return toolbar_; }
    bool isToolbarHidden() const { return toolbarHidden_; }
    void setToolbarHidden(bool hidden) { setToolbarHiddenAnimated(hidden, false); }
    void setToolbarHiddenAnimated(bool hidden, bool animated);
    // Whether a controller on the stack asks the tab bar away (the
    // navigation controller's own toolbar stays as the screens set it).
    bool hidesBottomBar();

    void loadView() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void viewDidDisappear(bool animated) override;
    bool navigationBarShouldPopItem(UINavigationBar& bar, UINavigationItem& item) override;

  private:
    friend class UIViewController;
    enum class Direction { Push, Pop };

    // Takes the controllers given to the constructor as children (which needs
    // this object's shared pointer, so it cannot run in the constructor).
    void adoptPending();
    void syncBarItems(bool animated);
    CGRect contentFrame();
    bool showsToolbar();
    CGRect toolbarFrame();
    void setGuidesOf(UIViewController& controller);
    // The toolbar's place and the room and guides of the shown controller.
    void layoutBars();
    // The toolbar as the controller arriving on top wants it.
    void showToolbarFor(const std::shared_ptr<UIViewController>& to, bool animated);
    bool isOnScreen();
    void transition(const std::shared_ptr<UIViewController>& from,
                    const std::shared_ptr<UIViewController>& to, Direction direction, bool animated,
                    std::vector<std::shared_ptr<UIViewController>> leaving);

    std::vector<std::shared_ptr<UIViewController>> stack_;
    std::vector<std::shared_ptr<UIViewController>> pending_;
    bool adopted_ = false;
    std::shared_ptr<UINavigationBar> bar_;
    // The view shown below the bar; during a transition the one arriving.
    std::shared_ptr<UIViewController> shown_;
    bool barHidden_ = false;
    std::shared_ptr<UIToolbar> toolbar_;
    bool toolbarHidden_ = true;
};
