#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "UIKit/UIViewController.h"
#include "shelf/CBMapShelfHost.h"
#include "wikipedia/CBWikipediaServices.h"

class CBMapShelfViewController;
class CBMapViewController;
class CBUserMapStoreEngine;
class UIBarButtonItem;
class UINavigationController;

// The root container: one navigation controller at a time, holding either
// the shelf of installed maps or the map screen. It starts on the shelf when
// no map is current and a map is installed (an empty home shows the sample
// city); the shelf zooms a cover into its map, and going back shrinks a
// picture of the map into its cover.
class CBRootViewController : public UIViewController, public CBMapShelfHost {
  public:
    static constexpr double kShrinkDuration = 0.5;

    // `registry` nullptr: a map file given on the command line, no shelf.
    // The shelf is handed the Wikipedia services for the store it opens.
    CBRootViewController(std::shared_ptr<CBMapViewController> mapViewController,
                         std::shared_ptr<CBUserMapStoreEngine> registry = nullptr,
                         CBWikipediaServices wikipedia = {});

    const std::shared_ptr<UINavigationController>& navigation() const { return navigation_; }
    // The shelf, made the first time it is shown.
    const std::shared_ptr<CBMapShelfViewController>& shelf() const { return shelf_; }
    bool isShowingShelf() const;
    // Whether the application starts on the shelf.
    bool startsOnShelf() const;

    // Shows the map screen in a new navigation controller, cross-dissolving
    // for 0.5 s.
    void transitionToMapViewControllerWithCompletion(std::function<void()> completion) override;
    std::shared_ptr<UIViewController> settingsController() override;
    // The application delegate's; no request without one.
    bool canAskForAutoreview() override;
    void setAskedForAutoreview(bool asked) override;
    // The store's review page of the application's bundle identifier.
    std::optional<std::string> reviewPageURL() override;
    std::shared_ptr<MFMailComposeViewController> supportMailViewController() override;
    // Back from the map screen: the shelf, with the map shrinking into the
    // current map's cover (a cross-dissolve when the cover is not on the
    // shelf).
    void transitionToShelfWithCompletion(std::function<void()> completion);
    // The store's page of a catalogue map, as the shelf opens the store:
    // back on the shelf (out of edit mode, its search cancelled), the store opens
    // on the map's detail screen. Nothing without a shelf (a map file given
    // on the command line) or for a map the catalogue does not know.
    void showStorePageForMapWithIdentifier(const std::string& identifier);
    // A "Maps" button running `action`, beside another bar item.
    static std::shared_ptr<UIBarButtonItem> shelfButtonItemBeside(
        const std::shared_ptr<UIBarButtonItem>& item, std::function<void()> action);

    void loadView() override;
    void viewWillLayoutSubviews() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;

  private:
    std::shared_ptr<UINavigationController> makeShelfNavigation();
    void install(std::shared_ptr<UINavigationController> navigation, bool below);
    void removeNavigation(const std::shared_ptr<UINavigationController>& navigation);

    std::shared_ptr<CBMapViewController> mapViewController_;
    std::shared_ptr<CBUserMapStoreEngine> registry_;
    CBWikipediaServices wikipedia_;
    std::shared_ptr<CBMapShelfViewController> shelf_;
    std::shared_ptr<UINavigationController> navigation_;
};
