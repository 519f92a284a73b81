#pragma once

#include <memory>
#include <string>

#include "UIKit/UITabBarController.h"
#include "packages/CBMapStoreEngineDelegate.h"

class CBMapStoreBrowserViewController;
class CBMapStoreController;
class CBMapStoreDownloadViewController;
class CBMapStoreEngine;
class CBMapStoreMap;
class CBMapStoreUpdater;
class CBMapStoreWorldMapViewcontroller;
class CBUserMapStoreEngine;
class CBWikipediaManager;
class NSTimer;
class UIBarButtonItem;
class UINavigationController;
class ZELDownloadManagerEngine;

// The presenter of the store, asked to close it.
class CBMapStoreControllerProtocol {
  public:
    virtual ~CBMapStoreControllerProtocol() = default;
    virtual void hideMapStoreController(CBMapStoreController& controller) = 0;
};

// The map store: its tabs (catalogue browser, world map, downloads), each in its own
// navigation controller, sharing one catalogue engine. It opens on the
// downloads when something is queued, and checks for a newer catalogue
// (at most weekly) soon after it is first shown.
class CBMapStoreController : public UITabBarController, public CBMapStoreEngineDelegate {
  public:
    static std::shared_ptr<CBMapStoreController> create(
        std::shared_ptr<ZELDownloadManagerEngine> downloadManager,
        std::shared_ptr<CBUserMapStoreEngine> userMapStoreEngine);
    ~CBMapStoreController() override;

    const std::shared_ptr<CBMapStoreEngine>& engine() const { return engine_; }
    const std::shared_ptr<CBMapStoreBrowserViewController>& browser() const { return browser_; }
    const std::shared_ptr<CBMapStoreWorldMapViewcontroller>& worldMap() const { return worldMap_; }
    const std::shared_ptr<CBMapStoreDownloadViewController>& downloads() const {
        return downloads_;
    }
    std::shared_ptr<CBMapStoreControllerProtocol> mapStoreDelegate() const {
        return mapStoreDelegate_.lock();
    }
    void setMapStoreDelegate(std::weak_ptr<CBMapStoreControllerProtocol> delegate) {
        mapStoreDelegate_ = std::move(delegate);
    }
    // The updater of the first appearance's check, once it was made.
    const std::shared_ptr<CBMapStoreUpdater>& updater() const { return updater_; }
    // The timer of that check; it stops when the store is closed.
    const std::shared_ptr<NSTimer>& updateCheckTimer() const { return updateCheck_; }

    // The file of the online tile of that URL in the store's tile cache,
    // <Caches>/thunderforest/<URL-safe name>: always one path component, so
    // every tile can be cached.
    static std::string pathForCachedTileWithUrl(const std::string& url);

    // The detail screens load and delete Wikipedia articles through it.
    void setWikipediaManager(std::shared_ptr<CBWikipediaManager> manager);
    void openDetailForMap(const std::shared_ptr<CBMapStoreMap>& map);
    void done();
    std::shared_ptr<UIBarButtonItem> backToMapsButtonItem();
    static std::shared_ptr<UINavigationController> createNavigationControllerWithRoot(
        const std::shared_ptr<UIViewController>& root);

    void mapStoreWillUpdate() override;
    void mapStoreUpdated() override;
    void viewDidAppear(bool animated) override;

  private:
    explicit CBMapStoreController(std::shared_ptr<ZELDownloadManagerEngine> downloadManager);
    void setUp(std::shared_ptr<CBUserMapStoreEngine> userMapStoreEngine);

    std::shared_ptr<ZELDownloadManagerEngine> downloadManager_;
    std::shared_ptr<CBMapStoreEngine> engine_;
    std::weak_ptr<CBMapStoreControllerProtocol> mapStoreDelegate_;
    std::shared_ptr<CBMapStoreBrowserViewController> browser_;
    std::shared_ptr<CBMapStoreWorldMapViewcontroller> worldMap_;
    std::shared_ptr<CBMapStoreDownloadViewController> downloads_;
    std::shared_ptr<CBMapStoreUpdater> updater_;
    std::shared_ptr<NSTimer> updateCheck_;
    bool firstAppearance_ = true;
};
