#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "UIKit/UIResponder.h"
#include "UIKit/UIView.h"

enum UIModalPresentationStyle : long {
    UIModalPresentationFullScreen = 0,
    UIModalPresentationPageSheet,
    UIModalPresentationFormSheet,
    UIModalPresentationCurrentContext,
    UIModalPresentationOverFullScreen = 5,
};

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
    virtual void setTitle(const std::string& title) { title_ = title; }

    // Containment.
    std::shared_ptr<UIViewController> parentViewController() const { return parent_.lock(); }
    const std::vector<std::shared_ptr<UIViewController>>& childViewControllers() const {
        return children_;
    }
    void addChildViewController(const std::shared_ptr<UIViewController>& child);
    void removeFromParentViewController();
    virtual void willMoveToParentViewController(const std::shared_ptr<UIViewController>&) {}
    virtual void didMoveToParentViewController(const std::shared_ptr<UIViewController>&) {}

    // Modal presentation: the presented controller's view covers the window
    // (sliding up when animated); completion runs when it is in place.
    void presentViewControllerAnimatedCompletion(
        const std::shared_ptr<UIViewController>& controller, bool animated,
        std::function<void()> completion);
    // Dismisses the controller this one presents, or this one when it is
    // presented.
    void dismissViewControllerAnimatedCompletion(bool animated, std::function<void()> completion);
    std::shared_ptr<UIViewController> presentedViewController() const { return presented_; }
    std::shared_ptr<UIViewController> presentingViewController() const {
        return presenting_.lock();
    }
    UIModalPresentationStyle modalPresentationStyle() const { return presentationStyle_; }
    void setModalPresentationStyle(UIModalPresentationStyle s) { presentationStyle_ = s; }
    UIModalTransitionStyle modalTransitionStyle() const { return transitionStyle_; }
    void setModalTransitionStyle(UIModalTransitionStyle s) { transitionStyle_ = s; }
    bool isBeingPresented() const { return beingPresented_; }
    bool isBeingDismissed() const { return beingDismissed_; }

    CGSize preferredContentSize() const { return preferredContentSize_; }
    void setPreferredContentSize(CGSize size) { preferredContentSize_ = size; }
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
    std::shared_ptr<UIView> view_;
    std::string title_;
    std::weak_ptr<UIViewController> parent_;
    std::vector<std::shared_ptr<UIViewController>> children_;
    std::shared_ptr<UIViewController> presented_;
    std::weak_ptr<UIViewController> presenting_;
    UIModalPresentationStyle presentationStyle_ = UIModalPresentationFullScreen;
    UIModalTransitionStyle transitionStyle_ = UIModalTransitionStyleCoverVertical;
    bool beingPresented_ = false;
    bool beingDismissed_ = false;
    CGSize preferredContentSize_{};
    bool adjustsInsets_ = true;
    CGFloat topGuide_ = 0;
    CGFloat bottomGuide_ = 0;
};

using UIViewControllerRef = std::shared_ptr<UIViewController>;
