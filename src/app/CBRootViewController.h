#pragma once

#include <functional>
#include <memory>

#include "UIKit/UIViewController.h"

class CBMapViewController;
class UINavigationController;

// The root container: one navigation controller whose first screen is the
// map screen; overlays lie on top as child view controllers.
class CBRootViewController : public UIViewController {
  public:
    explicit CBRootViewController(std::shared_ptr<CBMapViewController> mapViewController);

    const std::shared_ptr<UINavigationController>& navigation() const { return navigation_; }
    // Shows the map screen in a new navigation controller, cross-dissolving
    // for 0.5 s.
    void transitionToMapViewControllerWithCompletion(std::function<void()> completion);

    void loadView() override;
    void viewWillLayoutSubviews() override;

  private:
    std::shared_ptr<CBMapViewController> mapViewController_;
    std::shared_ptr<UINavigationController> navigation_;
};
