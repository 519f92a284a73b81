#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

class MFMailComposeViewController;
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
    // Whether the one request for a review may be made, and that it was.
    virtual bool canAskForAutoreview() = 0;
    virtual void setAskedForAutoreview(bool asked) = 0;
    // The application's review page in its store; nullopt when it has none.
    virtual std::optional<std::string> reviewPageURL() = 0;
    // A mail composer addressed to the support mailbox.
    virtual std::shared_ptr<MFMailComposeViewController> supportMailViewController() = 0;
};
