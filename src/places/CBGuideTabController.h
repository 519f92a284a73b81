#pragma once

#include <memory>

#include "UIKit/UITabBarController.h"
#include "model/CBWikipediaManagerDelegate.h"
#include "wikipedia/CBWikipediaServices.h"

class CBAnnotationsPresenter;
class CBBookmarksTableVC;
class CBGeoDataManager;
class CBGuideDialVC;
class CBCurrentMap;
class CBPlacesHost;
class CBWikipediaNavigationController;
class UIBarButtonItem;

// The city guide, presented over the map screen: the dial of categories,
// the bookmarks of the map, its offline Wikipedia when it has or can get
// one, and one tab per document of the map's package
// (its licence), each in a navigation stack of its own. It opens on the tab
// chosen last. The Wikipedia tab comes from what the Wikipedia manager knows
// when the guide opens (installed articles need no store), and joins the
// open guide when the store's list of packages arrives later.
class CBGuideTabController : public UITabBarController, public CBWikipediaManagerDelegate {
  public:
    // The map screen answers as host and presenter; the bookmarks and the
    // package's documents are those of the current map. The Wikipedia tab
    // is handed the Wikipedia services.
    static std::shared_ptr<CBGuideTabController> create(
        std::weak_ptr<CBPlacesHost> host, std::shared_ptr<CBCurrentMap> currentMap,
        std::weak_ptr<CBAnnotationsPresenter> presenter, CBWikipediaServices wikipedia);

    const std::shared_ptr<CBGuideDialVC>& guideDialVC() const { return guideDialVC_; }
    const std::shared_ptr<CBBookmarksTableVC>& bookmarksTableVC() const { return bookmarksVC_; }
    const std::shared_ptr<CBGeoDataManager>& dataManager() const { return dataManager_; }
    // nullptr while the guide has no Wikipedia tab.
    const std::shared_ptr<CBWikipediaNavigationController>& wikipediaTab() const {
        return wikipediaTab_;
    }
    // The map's geo store, for the dial and the bookmarks; a new one takes
    // the dial back to its first screen.
    void setDataManager(std::shared_ptr<CBGeoDataManager> manager);

    // A Done button that closes the guide.
    std::shared_ptr<UIBarButtonItem> dismissButton();
    void dismiss();

    void setSelectedViewController(const std::shared_ptr<UIViewController>& controller) override;
    void viewWillAppear(bool animated) override;
    bool shouldAutorotateToInterfaceOrientation(UIInterfaceOrientation orientation) const override;
    unsigned long supportedInterfaceOrientations() const override;

    void wikipediaManagerPackageListChangedForMapWithIdentifier(
        CBWikipediaManager&, const std::string& identifier) override;

  private:
    explicit CBGuideTabController(CBWikipediaServices wikipedia)
        : wikipedia_(std::move(wikipedia)) {}
    void buildTabs(std::weak_ptr<CBPlacesHost> host,
                   const std::shared_ptr<CBCurrentMap>& currentMap,
                   std::weak_ptr<CBAnnotationsPresenter> presenter);

    std::shared_ptr<CBGuideDialVC> guideDialVC_;
    std::shared_ptr<CBBookmarksTableVC> bookmarksVC_;
    std::shared_ptr<CBGeoDataManager> dataManager_;
    std::shared_ptr<CBWikipediaNavigationController> wikipediaTab_;
    CBWikipediaServices wikipedia_;
};
