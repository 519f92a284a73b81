#include "places/CBGuideTabController.h"

#include <algorithm>
#include <filesystem>

#include "Foundation/NSBundle.h"
#include "UIKit/UIApplication.h"
#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UIImage.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UINavigationItem.h"
#include "UIKit/UITabBarItem.h"
#include "model/CBCityGuideState.h"
#include "model/CBCurrentMap.h"
#include "model/CBWikipediaManager.h"
#include "packages/CBMapDocumentInfo.h"
#include "places/CBBookmarksTableVC.h"
#include "places/CBDocumentPreviewController.h"
#include "places/CBGuideDialVC.h"
#include "widgets/CBScreenRotation.h"
#include "wikipedia/CBWikipediaHost.h"
#include "wikipedia/CBWikipediaNavigationController.h"

namespace {
// Where the Wikipedia tab stands: after the dial and the bookmarks.
constexpr size_t kWikipediaTabIndex = 2;
}  // namespace

std::shared_ptr<CBGuideTabController> CBGuideTabController::create(
    std::weak_ptr<CBPlacesHost> host, std::shared_ptr<CBCurrentMap> currentMap,
    std::weak_ptr<CBAnnotationsPresenter> presenter, CBWikipediaServices wikipedia) {
    std::shared_ptr<CBGuideTabController> controller(
        new CBGuideTabController(std::move(wikipedia)));
    controller->buildTabs(std::move(host), currentMap, std::move(presenter));
    if (const auto& manager = controller->wikipedia_.manager)
        manager->addDelegate(controller);
    return controller;
}

// The tabs in their order: the dial, the bookmarks, the map's Wikipedia,
// the documents.
void CBGuideTabController::buildTabs(std::weak_ptr<CBPlacesHost> host,
                                     const std::shared_ptr<CBCurrentMap>& currentMap,
                                     std::weak_ptr<CBAnnotationsPresenter> presenter) {
    std::vector<std::shared_ptr<UIViewController>> tabs;
    guideDialVC_ = std::make_shared<CBGuideDialVC>(host, currentMap, presenter);
    guideDialVC_->navigationItem()->setRightBarButtonItem(dismissButton());
    auto dial = std::make_shared<UINavigationController>(guideDialVC_);
    dial->setTabBarItem(std::make_shared<UITabBarItem>(NSLocalizedString("Guide"),
                                                       UIImage::imageNamed("guide-tab"),
                                                       UIImage::imageNamed("guide-tab-selected")));
    tabs.push_back(dial);

    bookmarksVC_ = std::make_shared<CBBookmarksTableVC>(currentMap, host, presenter);
    auto bookmarks = std::make_shared<UINavigationController>(bookmarksVC_);
    bookmarks->setTabBarItem(bookmarksVC_->tabBarItem());
    tabs.push_back(bookmarks);

    if (CBWikipediaNavigationController::isOfferedForCurrentMap(wikipedia_)) {
        wikipediaTab_ =
            CBWikipediaNavigationController::initWithWikipediaRootViewcontroller(wikipedia_);
        tabs.push_back(wikipediaTab_);
    }

    // The documents of the package of the map shown, beside its geo store.
    const auto store = currentMap ? currentMap->storePath() : std::nullopt;
    const auto documents = store ? CBMapDocumentInfo::documentInfosInPackageFolder(
                                       std::filesystem::path(*store).parent_path().string())
                                 : std::nullopt;
    for (const auto& info : documents.value_or(std::vector<CBMapDocumentInfo>{})) {
        auto preview = std::make_shared<CBDocumentPreviewController>(info);
        preview->navigationItem()->setRightBarButtonItem(dismissButton());
        auto navigation = std::make_shared<UINavigationController>(preview);
        navigation->setTabBarItem(preview->tabBarItem());
        tabs.push_back(navigation);
    }
    const size_t count = tabs.size();
    setViewControllers(std::move(tabs));
    setSelectedIndex(long(CBCityGuideState::tabToSelect(count)));
}

// The store's answer came while the guide is open: the tab joins it in its
// place, and the tab shown stays.
void CBGuideTabController::wikipediaManagerPackageListChangedForMapWithIdentifier(
    CBWikipediaManager&, const std::string&) {
    if (wikipediaTab_ || !CBWikipediaNavigationController::isOfferedForCurrentMap(wikipedia_))
        return;
    wikipediaTab_ =
        CBWikipediaNavigationController::initWithWikipediaRootViewcontroller(wikipedia_);
    auto tabs = viewControllers();
    tabs.insert(tabs.begin() + long(std::min(kWikipediaTabIndex, tabs.size())), wikipediaTab_);
    setViewControllers(std::move(tabs));
}

void CBGuideTabController::setDataManager(std::shared_ptr<CBGeoDataManager> manager) {
    dataManager_ = std::move(manager);
    guideDialVC_->setDataManager(dataManager_);
    bookmarksVC_->setMapDataManager(dataManager_);
    if (dataManager_)
        if (auto navigation = guideDialVC_->navigationController())
            navigation->popToRootViewControllerAnimated(false);
}

std::shared_ptr<UIBarButtonItem> CBGuideTabController::dismissButton() {
    std::weak_ptr<CBGuideTabController> weak = std::static_pointer_cast<CBGuideTabController>(
        std::static_pointer_cast<UIViewController>(shared_from_this()));
    return std::make_shared<UIBarButtonItem>(UIBarButtonSystemItemDone, [weak](UIBarButtonItem&) {
        if (auto me = weak.lock())
            me->dismiss();
    });
}

void CBGuideTabController::dismiss() {
    dismissViewControllerAnimatedCompletion(true, nullptr);
}

void CBGuideTabController::setSelectedViewController(
    const std::shared_ptr<UIViewController>& controller) {
    UITabBarController::setSelectedViewController(controller);
    const auto& tabs = viewControllers();
    auto found = std::find(tabs.begin(), tabs.end(), selectedViewController());
    if (found != tabs.end())
        CBCityGuideState::setSelectedTab(size_t(found - tabs.begin()));
}

void CBGuideTabController::viewWillAppear(bool animated) {
    UITabBarController::viewWillAppear(animated);
    UIApplication::sharedApplication()->setStatusBarStyleAnimated(UIStatusBarStyleDefault,
                                                                  animated);
}

bool CBGuideTabController::shouldAutorotateToInterfaceOrientation(
    UIInterfaceOrientation orientation) const {
    return CBScreenRotation::turnsTo(CBScreenRotation::Rule::Portrait, orientation);
}

unsigned long CBGuideTabController::supportedInterfaceOrientations() const {
    return CBScreenRotation::supportedOrientations(CBScreenRotation::Rule::Portrait);
}
