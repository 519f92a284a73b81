#include "app/CBMapViewController.h"

#include <algorithm>
#include <filesystem>
#include <utility>

#include "CBGeoData/CBBoundingBox.h"
#include "CBGeoData/CBGeoAddress.h"
#include "CBGeoData/CBGeoCity.h"
#include "CBGeoData/CBGeoDataManager.h"
#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBGeoSearchResult.h"
#include "CBGeoData/CBGeoTag.h"
#include "CoreLocation/CLLocationManager.h"
#include "Dispatch/DispatchQueue.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSLog.h"
#include "Foundation/NSPathUtilities.h"
#include "UIKit/UIAlertView.h"
#include "UIKit/UIApplication.h"
#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UIDevice.h"
#include "UIKit/UIFont.h"
#include "UIKit/UILabel.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UINavigationItem.h"
#include "UIKit/UIPopoverController.h"
#include "UIKit/UITableView.h"
#include "UIKit/UITableViewCell.h"
#include "app/CBMapDisplayModeManager.h"
#include "app/CBMapEdgeOrnamentView.h"
#include "app/CBPlaceAnnotation.h"
#include "app/CBPlaceDescription.h"
#include "app/CBSettingsVC.h"
#include "foundation/NSUserDefaults+CrashInformation.h"
#include "location/CBLocationManager.h"
#include "mapkit/CBMapAnnotationsHost.h"
#include "mapkit/CBMapScaleBar.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBMapUserLocationFollower.h"
#include "mapkit/CBMapViewSavedState.h"
#include "mapkit/CBMapVisibleArea.h"
#include "mapkit/CBOpenMap.h"
#include "packages/CBMapStoreMap.h"
#include "packages/CBUserMapStoreEngine.h"
#include "places/CBGuideDialVC.h"
#include "widgets/CBClearSearchBar.h"
#include "widgets/CBScreenBreadcrumb.h"

namespace {
constexpr CGFloat kSearchBarHeight = 44;
constexpr const char* kResultCell = "CBSearchResult";
// Where the results list says that nothing was found.
constexpr CGFloat kNothingFoundTop = 40;
constexpr CGFloat kNothingFoundHeight = 30;
// A chosen hit is shown with its streets around it.
constexpr int kChosenHitZoomLevel = 16;
// A map's main town is first shown with its main streets.
constexpr int kMainTownZoomLevel = 13;
// Ornaments appear before their edge scrolls into sight.
constexpr CGFloat kOrnamentPreloadInset = 150;

}  // namespace

CBMapViewController::CBMapViewController(std::shared_ptr<CBUserMapStoreEngine> registry,
                                         std::string fallbackStorePath,
                                         std::shared_ptr<CBCurrentMap> currentMap)
    : registry_(std::move(registry)),
      fallbackStorePath_(std::move(fallbackStorePath)),
      currentMap_(currentMap ? std::move(currentMap)
                             : CBCurrentMap::create(registry_, nullptr, nullptr)) {}

// The shared location service does not run on for a screen that has gone.
CBMapViewController::~CBMapViewController() {
    if (mapView_ && mapView_->userLocationFollower()->showsUserLocation())
        mapView_->userLocationFollower()->stopLocationUsage();
}

bool CBMapViewController::hasMap() const {
    return mapView_ && !mapView_->currentMapStorePath().empty();
}

void CBMapViewController::loadView() {
    auto view = std::make_shared<UIView>(CGRectMake(0, 0, 320, 480));
    view->setBackgroundColor(UIColor::whiteColor());
    mapArea_ = std::make_shared<UIView>(view->bounds());
    mapArea_->setClipsToBounds(true);
    view->addSubview(mapArea_);
    mapView_ = CBMapScrollView::create(mapArea_->bounds());
    // Only the screen's layout resizes the map, keeping its middle in place.
    mapView_->setAutoresizingMask(UIViewAutoresizingNone);
    mapArea_->addSubview(mapView_);
    searchBar_ = CBClearSearchBar::initWithBackground();
    searchBar_->setPlaceholder(NSLocalizedString("MapSearchPlaceholder"));
    view->addSubview(searchBar_);
    setView(view);
    displayModes_ = std::make_unique<CBMapDisplayModeManager>(mapView_);
    addMeasuringRuler();
    addMapControls();
}

void CBMapViewController::viewDidLoad() {
    auto self = std::static_pointer_cast<CBMapViewController>(shared_from_this());
    CBScreenBreadcrumb::screenAppeared(*this);
    searchDisplay_ = UISearchDisplayController::create(searchBar_, self);
    searchDisplay_->setDelegate(self);
    searchDisplay_->setSearchResultsDataSource(self);
    searchDisplay_->setSearchResultsDelegate(self);
    searchDisplay_->searchResultsTableView()->setBackgroundView(nothingFoundView());
    std::weak_ptr<CBMapViewController> weak = self;
    navigationItem()->setRightBarButtonItem(
        std::make_shared<UIBarButtonItem>(NSLocalizedString("SettingsButtonTitle"),
                                          UIBarButtonItemStylePlain, [weak](UIBarButtonItem&) {
                                              if (auto me = weak.lock())
                                                  me->showSettings();
                                          }));
    updatePositionButton();
    mapView_->setMapDelegate(self);
    // Room beyond the edges for the frame and the switchers to other maps.
    const CGFloat reach = CBMapEdgeOrnamentView::kThickness;
    mapView_->setContentInset(UIEdgeInsetsMake(reach, reach, reach, reach));
    mapView_->setOrnamentationFramePreloadInset(
        UIEdgeInsetsMake(kOrnamentPreloadInset, kOrnamentPreloadInset, kOrnamentPreloadInset,
                         kOrnamentPreloadInset));
    mapView_->userLocationFollower()->locationManager()->addDelegate(self);
    applyCompassDefaults();
    // The position button's second tap turns the map with the heading,
    // where the receiver gives one.
    mapView_->userLocationFollower()->setAllowsRotation(true);
    if (registry_)
        registry_->addDelegate(self);
    currentMap_->addObserver(self);
    if (auto bookmarks = currentMap_->bookmarks())
        bookmarks->setBookmarkDelegate(self);
    openCurrentMap();
    restoreAnnotations();
    // The position shows as soon as a fix arrives; the position button then
    // follows it. Without access to the position there is nothing to show.
    if (CLLocationManager::authorizationStatus() != kCLAuthorizationStatusDenied)
        mapView_->userLocationFollower()->setShowsUserLocation(true);
}

// Under the search field, where the first hit would be.
std::shared_ptr<UIView> CBMapViewController::nothingFoundView() {
    auto background = std::make_shared<UIView>(CGRectMake(0, 0, 320, 480));
    background->setBackgroundColor(UIColor::whiteColor());
    nothingFoundLabel_ = std::make_shared<UILabel>(
        CGRectMake(0, kNothingFoundTop, background->bounds().size.width, kNothingFoundHeight));
    nothingFoundLabel_->setText(NSLocalizedString("SearchNothingFound"));
    nothingFoundLabel_->setTextAlignment(NSTextAlignmentCenter);
    nothingFoundLabel_->setTextColor(UIColor::grayColor());
    nothingFoundLabel_->setFont(UIFont::boldSystemFontOfSize(18));
    nothingFoundLabel_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    nothingFoundLabel_->setHidden(true);
    background->addSubview(nothingFoundLabel_);
    return background;
}

void CBMapViewController::viewWillLayoutSubviews() {
    const CGRect bounds = view()->bounds();
    searchBar_->setFrame(CGRectMake(0, 0, bounds.size.width, kSearchBarHeight));
    mapArea_->setFrame(
        CGRectMake(0, kSearchBarHeight, bounds.size.width, bounds.size.height - kSearchBarHeight));
    // While turned with the heading the map is a larger square of its own.
    if (!mapView_->userLocationFollower()->rotateToHeading())
        setMapFrameKeepingCentre(mapArea_->bounds());
    layoutMeasuringRuler(mapArea_->frame());
    layoutMapControls();
}

// A resized map keeps showing the same place in its middle.
void CBMapViewController::setMapFrameKeepingCentre(const CGRect& frame) {
    if (CGRectEqualToRect(mapView_->UIView::frame(), frame))
        return;
    const bool open = hasMap();
    CLLocationCoordinate2D centre{};
    if (open) {
        mapView_->visibleArea()->calculateVisibleBBox();
        centre = mapView_->visibleArea()->visibleCenter();
    }
    mapView_->setFrame(frame);
    if (!open)
        return;
    // The view's own layout moves its content by half the change of size;
    // that has to be done before the centre is put back, not after.
    mapView_->layoutIfNeeded();
    mapView_->moveToCoordinateAnimated(centre, false);
}

void CBMapViewController::openCurrentMap() {
    if (registry_) {
        if (auto path = CBCurrentMap::installedStorePath(registry_->currentMap());
            path && openMapWithStorePath(*path))
            return;
        // A current map whose folder went, or none: until the shelf exists
        // the first installed map stands in for it.
        for (const auto& candidate : registry_->mapsSortedByName()) {
            auto path = CBCurrentMap::installedStorePath(candidate);
            if (path && openMapWithStorePath(*path)) {
                registry_->setCurrentMap(candidate);
                return;
            }
        }
    }
    if (!fallbackStorePath_.empty())
        openMapWithStorePath(fallbackStorePath_);
}

bool CBMapViewController::openMapWithStorePath(const std::string& path) {
    // A map without saved view state has never been shown; the same map
    // from other files (an update, the installed copy of the sample) keeps
    // its place.
    const auto identifier = CBOpenMap::identifierForStorePathes({path});
    const bool firstTime =
        identifier != mapView_->currentMapStorePath() &&
        !CBMapViewSavedState::persistentDictionaryForMapWithIdentifier(identifier);
    displayModes_->mapDidChange();
    updateDisplayModeLabel();
    forgetSearchResults();
    // The map opens once for every screen through the table of open maps.
    auto map = CBOpenMap::openStorePath(path);
    // The same map from other files (the installed copy of the bundled
    // sample, an update) keeps its pins: found again in the new files.
    if (auto shown = mapView_->openMap();
        map && shown && shown != map && shown->identifier() == map->identifier())
        takePinsOffMap();
    if (!mapView_->setOpenMap(map)) {
        NSLogWithLevel(NSLogLevel::Error, "Kelvara: cannot open the map package %s", path.c_str());
        return false;
    }
    tellBookmarksState(currentMap_->showOpenMap(std::move(map)));
    putKeptPinsBack();
    mainCity_.clear();
    if (auto manager = mapView_->dataManager())
        if (auto city = manager->currentCity())
            mainCity_ = city->localizedName().value_or("");
    setTitle(mainCity_);
    if (auto map = registry_ ? registry_->currentMap() : nullptr; map && map->filePath() == path)
        CrashInformation::crashInformationDidEnterMapWithIdentifierDateAdded(map->identifier(),
                                                                             map->dateAdded());
    settlements_ = mapView_->dataManager() ? CBMapSettlements::ofMap(*mapView_->dataManager())
                                           : CBMapSettlements();
    if (firstTime)
        showMainTown();
    mapView_->scaleBar()->setMapScaleHiddenAnimated(false, false);
    mapView_->notifyDelegateMapDidChangeBBoxAnimated(false);
    reloadNearbyMaps();
    updateZoomButtons();
    return true;
}

void CBMapViewController::showMainTown() {
    const auto* town = settlements_.mainTown(mainCity_);
    if (!town)
        return;
    // The whole map fits the screen at first, which leaves no room to put
    // the town in the middle: come closer, to the streets of its centre.
    mapView_->setZoomScale(
        std::max(float(mapView_->zoomScale()), zoomScaleForNativeZoomLevel(kMainTownZoomLevel)));
    auto manager = mapView_->dataManager();
    mapView_->moveToCoordinateAnimated(
        manager ? CBMapSettlements::centreOf(*town, *manager) : town->coordinate, false);
}

void CBMapViewController::userMapStoreChangeCurrentMapTo(CBUserMapStoreEngine&, const Map& map) {
    // The guide never reopens where it was on another map.
    CBGuideDialVC::resetPersistency();
    if (!isViewLoaded())
        return;
    auto path = CBCurrentMap::installedStorePath(map);
    if (!path || *path == shownStorePath())
        return;
    const std::optional<CBKelvaraLink> link = std::exchange(linkOnStandIn_, std::nullopt);
    if (openMapWithStorePath(*path) && link && holdsCoordinate(link->coordinate))
        openLink(*link);
}

// The first map installed (the sample on an empty home) becomes current.
void CBMapViewController::userMapStoreAddedMap(CBUserMapStoreEngine& registry, const Map& map) {
    if (CBCurrentMap::installedStorePath(map) &&
        !CBCurrentMap::installedStorePath(registry.currentMap()))
        registry.setCurrentMap(map);
    else
        reloadNearbyMaps();
}

void CBMapViewController::userMapStoreUpdatedMap(CBUserMapStoreEngine& registry, const Map& map) {
    // The current map's new files take the place of a stand-in shown for it.
    if (auto path = CBCurrentMap::installedStorePath(map);
        path && isViewLoaded() && registry.currentMapIdentifier() == map->identifier() &&
        *path != shownStorePath())
        openMapWithStorePath(*path);
    userMapStoreAddedMap(registry, map);
    reloadNearbyMaps();
}

void CBMapViewController::userMapStoreDidDeleteMapWithIdentifier(CBUserMapStoreEngine&,
                                                                 const std::string&) {
    reloadNearbyMaps();
}

std::string CBMapViewController::detailTextForResult(CBGeoSearchResult& result) const {
    static const Value::Dictionary kNoTranslations;
    auto manager = mapView_->dataManager();
    const CBPlaceDescription description(
        manager ? manager->tagTranslationDictionary() : kNoTranslations, settlements_);
    // The last fix, however old: how far a place was from where the user was seen last.
    auto here = mapView_->userLocationFollower()->locationManager()->location();
    return description.detailTextForResult(result, here.get());
}

bool CBMapViewController::searchDisplayControllerShouldReloadTableForSearchString(
    UISearchDisplayController&, const std::string& text) {
    std::weak_ptr<CBMapViewController> weak =
        std::static_pointer_cast<CBMapViewController>(shared_from_this());
    searchBar_->setLoading(true);
    nothingFoundLabel_->setHidden(true);
    auto search = [&] {
        return mapView_->searchObjectsMatchingStringIncludeAddressesDelayedWithCompletionBlock(
            text, true, true, [weak](const std::vector<std::shared_ptr<CBGeoSearchResult>>& hits) {
                auto me = weak.lock();
                if (!me)
                    return;
                me->showResults(hits);
            });
    };
    bool started = search();
    if (!started) {
        // The manager refuses the text of its last search too, having
        // nothing new to fetch; but the list may show a longer text's
        // narrower results by now ("engels ring", then back to "engels
        // rin"), so that text is searched afresh.
        mapView_->cancelSearchForObjectsMatchingString();
        started = search();
    }
    // Without a map to search there is nothing to find.
    if (!started)
        showResults({});
    return false;
}

// The hits are places of the map they were found in: they go with it.
void CBMapViewController::forgetSearchResults() {
    mapView_->cancelSearchForObjectsMatchingString();
    results_.clear();
    if (searchDisplay_)
        searchDisplay_->searchResultsTableView()->reloadData();
}

void CBMapViewController::showResults(std::vector<std::shared_ptr<CBGeoSearchResult>> hits) {
    CBPlaceDescription::orderHitsOfOneName(
        hits, mapView_->userLocationFollower()->locationManager()->location().get());
    results_ = std::move(hits);
    searchBar_->setLoading(false);
    nothingFoundLabel_->setHidden(!results_.empty());
    searchDisplay_->searchResultsTableView()->reloadData();
}

long CBMapViewController::tableViewNumberOfRowsInSection(UITableView&, long) {
    return long(results_.size());
}

std::shared_ptr<UITableViewCell> CBMapViewController::tableViewCellForRowAtIndexPath(
    UITableView& table, const NSIndexPath& path) {
    auto cell = table.dequeueReusableCellWithIdentifier(kResultCell);
    if (!cell)
        cell = std::make_shared<UITableViewCell>(UITableViewCellStyleSubtitle, kResultCell);
    auto& result = *results_[size_t(path.row)];
    cell->textLabel()->setText(result.title().value_or(""));
    cell->detailTextLabel()->setText(detailTextForResult(result));
    return cell;
}

void CBMapViewController::tableViewDidSelectRowAtIndexPath(UITableView&, const NSIndexPath& path) {
    if (size_t(path.row) >= results_.size())
        return;
    // The hit is an object of the map's main context: it is pinned as it is.
    const auto chosen = results_[size_t(path.row)];
    endSearch();
    mapView_->userLocationFollower()->setCentersOnUserLocation(false);
    if (auto pin = showPlace(chosen, false))
        showCoordinateAtZoomLevel(pin->coordinate(), kChosenHitZoomLevel);
}

void CBMapViewController::endSearch() {
    if (searchDisplay_)
        searchDisplay_->setActive(false);
}

// Beside the geo store on show: <Documents>/maps/<id>/toptable/images for an
// installed map.
std::string CBMapViewController::basePathForTTImages() const {
    return currentMap_->restaurantGuideImagesPath();
}

void CBMapViewController::dismissPopoverAnimated(bool animated) {
    if (!popover_)
        return;
    popover_->dismissPopoverAnimated(animated);
    popover_.reset();
}

void CBMapViewController::showSettings() {
    // The licence ships in the map package's folder beside its geo store.
    std::optional<std::string> licence;
    if (const auto& shown = currentMap_->storePath())
        licence = (std::filesystem::path(*shown).parent_path() / "LICENSE.txt").string();
    auto settings = CBSettingsVC::settingsController(licence);
    // On the pad the settings float over the map instead of covering it.
    if (UI_USER_INTERFACE_IDIOM() == UIUserInterfaceIdiomPad)
        settings->setModalPresentationStyle(UIModalPresentationFormSheet);
    presentViewControllerAnimatedCompletion(settings, true, nullptr);
}

// A message of the start (a map opens before the window is key) waits for
// the window: shown once the main loop turns, or when the screen appears.
void CBMapViewController::showMessage(const std::string& title, const std::string& message) {
    alert_ = std::make_shared<UIAlertView>(title, message, std::weak_ptr<UIAlertViewDelegate>(),
                                           NSLocalizedString("OK"));
    if (UIApplication::sharedApplication()->keyWindow()) {
        alert_->show();
        return;
    }
    messageWaiting_ = true;
    std::weak_ptr<CBMapViewController> weak =
        std::static_pointer_cast<CBMapViewController>(shared_from_this());
    DispatchQueue::main()->async([weak] {
        if (auto me = weak.lock())
            me->showWaitingMessage();
    });
}

void CBMapViewController::showWaitingMessage() {
    if (!messageWaiting_ || !alert_ || !UIApplication::sharedApplication()->keyWindow())
        return;
    messageWaiting_ = false;
    alert_->show();
}

void CBMapViewController::applicationDidMoveToBackground() {
    if (mapView_)
        mapView_->applicationDidMoveToBackground();
    if (isViewLoaded())
        saveAnnotations();
    // A deletion waits a moment before it is saved; quitting must not lose it.
    if (auto bookmarks = currentMap_->bookmarks())
        bookmarks->saveChanges();
}
