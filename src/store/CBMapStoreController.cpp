#include "store/CBMapStoreController.h"

#include "Dispatch/NSTimer.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSPathUtilities.h"
#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UINavigationItem.h"
#include "UIKit/UITabBarItem.h"
#include "foundation/NSString+Base64.h"
#include "packages/CBMapStoreEngine.h"
#include "packages/CBMapStoreUpdater.h"
#include "packages/ZELDownloadManagerEngine.h"
#include "store/CBMapStoreBrowserViewController.h"
#include "store/CBMapStoreDownloadViewController.h"
#include "store/CBMapStoreWorldMapViewcontroller.h"

namespace {

constexpr double kUpdateCheckDelay = 2.0;

}  // namespace

std::shared_ptr<CBMapStoreController> CBMapStoreController::create(
    std::shared_ptr<ZELDownloadManagerEngine> downloadManager,
    std::shared_ptr<CBUserMapStoreEngine> userMapStoreEngine) {
    std::shared_ptr<CBMapStoreController> controller(
        new CBMapStoreController(std::move(downloadManager)));
    controller->setUp(std::move(userMapStoreEngine));
    return controller;
}

CBMapStoreController::CBMapStoreController(
    std::shared_ptr<ZELDownloadManagerEngine> downloadManager)
    : downloadManager_(std::move(downloadManager)) {}

CBMapStoreController::~CBMapStoreController() {
    // A store closed before the delay checks nothing.
    if (updateCheck_)
        updateCheck_->invalidate();
    if (engine_)
        engine_->setDelegate({});
}

void CBMapStoreController::setUp(std::shared_ptr<CBUserMapStoreEngine> userMapStoreEngine) {
    engine_ = std::make_shared<CBMapStoreEngine>();
    engine_->setDelegate(std::static_pointer_cast<CBMapStoreController>(shared_from_this()));
    engine_->setDownloadManager(downloadManager_);

    browser_ = std::make_shared<CBMapStoreBrowserViewController>(engine_, downloadManager_,
                                                                 userMapStoreEngine);
    browser_->navigationItem()->setRightBarButtonItem(backToMapsButtonItem());
    worldMap_ = std::make_shared<CBMapStoreWorldMapViewcontroller>(userMapStoreEngine);
    worldMap_->setEngine(engine_);
    worldMap_->setDownloadManager(downloadManager_);
    worldMap_->navigationItem()->setRightBarButtonItem(backToMapsButtonItem());
    worldMap_->setDefaultRightButton(backToMapsButtonItem());
    downloads_ = CBMapStoreDownloadViewController::createWithDownloadManager(
        downloadManager_, std::move(userMapStoreEngine));
    downloads_->navigationItem()->setRightBarButtonItem(backToMapsButtonItem());
    downloads_->setMapStoreEngine(engine_);

    setViewControllers({createNavigationControllerWithRoot(browser_),
                        createNavigationControllerWithRoot(worldMap_),
                        createNavigationControllerWithRoot(downloads_)});
    view()->setFrame(CGRectMake(0, 20, 320, 460));
    if (downloadManager_->currentQueueLength() != 0)
        setSelectedIndex(long(viewControllers().size()) - 1);
}

void CBMapStoreController::setWikipediaManager(std::shared_ptr<CBWikipediaManager> manager) {
    worldMap_->setWikipediaManager(manager);
    browser_->setWikipediaManager(std::move(manager));
}

std::string CBMapStoreController::pathForCachedTileWithUrl(const std::string& url) {
    // Worked out once: the home does not move while the process runs.
    static const std::string folder =
        NSSearchPathForDirectory(NSSearchPathDirectory::Caches) + "/thunderforest";
    return folder + "/" + urlSafeCacheFileName(url);
}

std::shared_ptr<UINavigationController> CBMapStoreController::createNavigationControllerWithRoot(
    const std::shared_ptr<UIViewController>& root) {
    auto navigation = std::make_shared<UINavigationController>(root);
    // Each tab shows its root screen's title, icon and badge.
    if (auto item = root->tabBarItem())
        navigation->setTabBarItem(item);
    return navigation;
}

std::shared_ptr<UIBarButtonItem> CBMapStoreController::backToMapsButtonItem() {
    return std::make_shared<UIBarButtonItem>(
        NSLocalizedString("BackToMyMaps"), UIBarButtonItemStyleDone,
        [weak = weak_from_this()](UIBarButtonItem&) {
            if (auto self = std::static_pointer_cast<CBMapStoreController>(weak.lock()))
                self->done();
        });
}

void CBMapStoreController::done() {
    if (auto delegate = mapStoreDelegate_.lock())
        delegate->hideMapStoreController(*this);
}

void CBMapStoreController::openDetailForMap(const std::shared_ptr<CBMapStoreMap>& map) {
    browser_->openDetailForMapAnimated(map, false);
    setSelectedIndex(0);
}

void CBMapStoreController::mapStoreWillUpdate() {
    browser_->mapStoreWillUpdate();
    worldMap_->mapStoreWillUpdate();
}

void CBMapStoreController::mapStoreUpdated() {
    browser_->mapStoreUpdated();
    worldMap_->mapStoreUpdated();
}

void CBMapStoreController::viewDidAppear(bool animated) {
    UITabBarController::viewDidAppear(animated);
    if (firstAppearance_) {
        updater_ = CBMapStoreUpdater::createWithDownloadManager(downloadManager_);
        updater_->setMapStoreEngine(engine_);
        updateCheck_ = NSTimer::scheduledTimerWithTimeInterval(
            kUpdateCheckDelay, false, [weak = weak_from_this()](NSTimer&) {
                if (auto self = std::static_pointer_cast<CBMapStoreController>(weak.lock()))
                    self->updater_->startPeriodicUpdateIfNeeded();
            });
    }
    firstAppearance_ = false;
}
