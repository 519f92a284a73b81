#pragma once

#include "UIKit/UINavigationController.h"

// A navigation controller that rotates as its top screen allows.
class ZELRotatingNavigationController : public UINavigationController {
  public:
    using UINavigationController::UINavigationController;
    bool shouldAutorotate() const override;
    unsigned long supportedInterfaceOrientations() const override;
};
