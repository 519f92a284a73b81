#pragma once

#include <functional>
#include <memory>

class UIViewController;

// What the shelf asks of the container that shows it (the application's
// root container, above the screens' libraries).
class CBMapShelfHost {
  public:
    virtual ~CBMapShelfHost() = default;
    // Swaps the shelf for the map screen of the current map.
    virtual void transitionToMapViewControllerWithCompletion(std::function<void()> completion) = 0;
    // The settings screen to present over the shelf.
    virtual std::shared_ptr<UIViewController> settingsController() = 0;
};
