#include "app/CBMapViewController.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "CBGeoData/CBBoundingBox.h"
#include "CBGeoData/CBGeoAddress.h"
#include "CBGeoData/CBGeoCity.h"
#include "CBGeoData/CBGeoDataManager.h"
#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBGeoSearchResult.h"
#include "CBGeoData/CBGeoTag.h"
#include "Foundation/NSLog.h"
#include "Foundation/NSPathUtilities.h"
#include "UIKit/UIAlertView.h"
#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UIDevice.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UINavigationItem.h"
#include "UIKit/UIPopoverController.h"
#include "UIKit/UITableView.h"
#include "UIKit/UITableViewCell.h"
#include "app/CBMapDisplayModeManager.h"
#include "app/CBMapEdgeOrnamentView.h"
#include "app/CBSettingsVC.h"
#include "foundation/NSString+CBNSStringAdditions.h"
#include "foundation/NSUserDefaults+CrashInformation.h"
#include "location/CBLocationManager.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBUserLocation.h"
#include "packages/CBMapStoreMap.h"
#include "packages/CBUserMapStoreEngine.h"
#include "widgets/CBClearSearchBar.h"

namespace {
constexpr CGFloat kSearchBarHeight = 44;
constexpr const char* kResultCell = "CBSearchResult";
// A chosen hit is shown with its streets around it.
constexpr int kChosenHitZoomLevel = 16;
// A city centre is first shown with its main streets.
constexpr int kCityCentreZoomLevel = 13;
// Ornaments appear before their edge scrolls into sight.
constexpr CGFloat kOrnamentPreloadInset = 150;

std::optional<std::string> localityOf(CBGeoSearchResult& result) {
    if (const auto& address = result.address())
        if (auto city = address->city(); city && !city->empty())
            return city;
    if (const auto& object = result.object())
        for (const auto& address : object->addresses())
            if (auto city = address->city(); city && !city->empty())
                return city;
    return std::nullopt;
}

// The named place of the map's city (its town hall square, as OpenStreetMap
// puts it) rather than the middle of the package's box.
std::optional<CLLocationCoordinate2D> cityCentreOf(CBGeoCity& city) {
    const auto name = city.localizedName();
    for (const auto& location : city.objectsForKey("locations")) {
        if (location->stringForKey("name") != name)
            continue;
        const auto latitude = location->doubleForKey("latitude");
        const auto longitude = location->doubleForKey("longitude");
        if (latitude && longitude)
            return CLLocationCoordinate2D{*latitude, *longitude};
    }
    return std::nullopt;
}

std::optional<std::string> kindOf(CBGeoSearchResult& result, CBGeoDataManager* manager) {
    const auto& object = result.object();
    if (!object)
        return std::nullopt;
    if (object->isHighway())
        return std::string("Street");
    const Value tags = manager ? Value(manager->tagTranslationDictionary()) : Value();
    for (const auto& tag : object->tags()) {
        const std::string key = tag->key();
        if (key.rfind("name", 0) == 0 || key.rfind("addr", 0) == 0)
            continue;
        if (auto text = tag->translatedAttributeFromDictionary(&tags))
            return text;
        return tag->attribute();
    }
    return result.address() ? std::optional<std::string>("Address") : std::nullopt;
}
}  // namespace

std::optional<std::string> CBMapViewController::installedStorePath(const Map& map) {
    if (!map || map->isDownloading())
        return std::nullopt;
    auto path = map->filePath();
    std::error_code error;
    if (!path || !std::filesystem::is_regular_file(*path, error))
        return std::nullopt;
    return path;
}

CBMapViewController::CBMapViewController(std::shared_ptr<CBUserMapStoreEngine> registry,
                                         std::string fallbackStorePath)
    : registry_(std::move(registry)), fallbackStorePath_(std::move(fallbackStorePath)) {}

CBMapViewController::~CBMapViewController() = default;

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
    searchBar_->setPlaceholder("Search places and addresses");
    view->addSubview(searchBar_);
    setView(view);
    displayModes_ = std::make_unique<CBMapDisplayModeManager>(mapView_);
    addMapControls();
}

void CBMapViewController::viewDidLoad() {
    auto self = std::static_pointer_cast<CBMapViewController>(shared_from_this());
    CrashInformation::setCurrentViewController("CBMapViewController");
    searchDisplay_ = UISearchDisplayController::create(searchBar_, self);
    searchDisplay_->setDelegate(self);
    searchDisplay_->setSearchResultsDataSource(self);
    searchDisplay_->setSearchResultsDelegate(self);
    std::weak_ptr<CBMapViewController> weak = self;
    navigationItem()->setRightBarButtonItem(std::make_shared<UIBarButtonItem>(
        "Settings", UIBarButtonItemStylePlain, [weak](UIBarButtonItem&) {
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
    mapView_->locationManager()->addDelegate(self);
    // The position button's second tap turns the map with the heading,
    // where the receiver gives one.
    mapView_->setAllowsRotation(true);
    if (registry_)
        registry_->addDelegate(self);
    if (bookmarksManager_)
        bookmarksManager_->setBookmarkDelegate(self);
    openCurrentMap();
}

void CBMapViewController::viewWillLayoutSubviews() {
    const CGRect bounds = view()->bounds();
    searchBar_->setFrame(CGRectMake(0, 0, bounds.size.width, kSearchBarHeight));
    mapArea_->setFrame(
        CGRectMake(0, kSearchBarHeight, bounds.size.width, bounds.size.height - kSearchBarHeight));
    // While turned with the heading the map is a larger square of its own.
    if (!mapView_->rotateToHeading())
        setMapFrameKeepingCentre(mapArea_->bounds());
    layoutMapControls();
}

// A resized map keeps showing the same place in its middle.
void CBMapViewController::setMapFrameKeepingCentre(const CGRect& frame) {
    if (CGRectEqualToRect(mapView_->UIView::frame(), frame))
        return;
    const bool open = hasMap();
    CLLocationCoordinate2D centre{};
    if (open) {
        mapView_->calculateVisibleBBox();
        centre = mapView_->visibleCenter();
    }
    mapView_->setFrame(frame);
    if (open)
        mapView_->moveToCoordinateAnimated(centre, false);
}

void CBMapViewController::openCurrentMap() {
    if (registry_) {
        if (auto path = installedStorePath(registry_->currentMap());
            path && openMapWithStorePath(*path))
            return;
        // A current map whose folder went, or none: until the shelf exists
        // the first installed map stands in for it.
        for (const auto& candidate : registry_->mapsSortedByName()) {
            auto path = installedStorePath(candidate);
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
    // A map without saved view state has never been shown.
    const bool firstTime = !CBMapScrollView::persistentDictionaryForMapWithIdentifier(
        CBMapScrollView::mapStorePathFromPathes({path}));
    displayModes_->mapDidChange();
    if (!mapView_->setMapWithStorePathAndBoundingBox(path, nullptr)) {
        NSLogWithLevel(NSLogLevel::Error, "Kelvara: cannot open the map package %s", path.c_str());
        return false;
    }
    openedStorePath_ = path;
    openBookmarksForStorePath(path);
    mainCity_.clear();
    if (auto manager = mapView_->dataManager())
        if (auto city = manager->currentCity())
            mainCity_ = city->localizedName().value_or("");
    setTitle(mainCity_);
    if (auto map = registry_ ? registry_->currentMap() : nullptr; map && map->filePath() == path)
        CrashInformation::didEnterMapWithIdentifier(map->identifier(), map->dateAdded());
    if (firstTime)
        showCityCentre();
    mapView_->setMapScaleHiddenAnimated(false, false);
    mapView_->notifyDelegateMapDidChangeBBoxAnimated(false);
    reloadNearbyMaps();
    updateZoomButtons();
    return true;
}

void CBMapViewController::showCityCentre() {
    auto manager = mapView_->dataManager();
    auto city = manager ? manager->currentCity() : nullptr;
    if (!city)
        return;
    auto centre = cityCentreOf(*city);
    if (!centre)
        return;
    // The whole map fits the screen at first, which leaves no room to put
    // its centre in the middle: come closer, to the streets of the centre.
    mapView_->setZoomScale(
        std::max(float(mapView_->zoomScale()), zoomScaleForNativeZoomLevel(kCityCentreZoomLevel)));
    mapView_->moveToCoordinateAnimated(*centre, false);
}

void CBMapViewController::userMapStoreChangeCurrentMapTo(CBUserMapStoreEngine&, const Map& map) {
    if (!isViewLoaded())
        return;
    auto path = installedStorePath(map);
    if (path && *path != openedStorePath_)
        openMapWithStorePath(*path);
}

// The first map installed (the sample on an empty home) becomes current.
void CBMapViewController::userMapStoreAddedMap(CBUserMapStoreEngine& registry, const Map& map) {
    if (installedStorePath(map) && !installedStorePath(registry.currentMap()))
        registry.setCurrentMap(map);
    else
        reloadNearbyMaps();
}

void CBMapViewController::userMapStoreUpdatedMap(CBUserMapStoreEngine& registry, const Map& map) {
    userMapStoreAddedMap(registry, map);
    reloadNearbyMaps();
}

void CBMapViewController::userMapStoreDidDeleteMapWithIdentifier(CBUserMapStoreEngine&,
                                                                 const std::string&) {
    reloadNearbyMaps();
}

std::string CBMapViewController::detailTextForResult(CBGeoSearchResult& result) const {
    std::vector<std::string> parts;
    if (auto kind = kindOf(result, mapView_->dataManager().get()); kind && !kind->empty())
        parts.push_back(*kind);
    if (auto locality = localityOf(result))
        parts.push_back(*locality);
    if (auto user = mapView_->userLocation())
        if (auto here = user->coreLocation()) {
            const CLLocationCoordinate2D c = result.coordinate();
            const CLLocation there(c.latitude, c.longitude);
            parts.push_back(stringWithDistanceFromFloat(float(here->distanceFromLocation(there))));
        }
    std::string text;
    for (const auto& part : parts)
        text += (text.empty() ? "" : " \u00B7 ") + part;
    return text;
}

bool CBMapViewController::searchDisplayControllerShouldReloadTableForSearchString(
    UISearchDisplayController&, const std::string& text) {
    std::weak_ptr<CBMapViewController> weak =
        std::static_pointer_cast<CBMapViewController>(shared_from_this());
    searchBar_->setLoading(true);
    auto search = [&] {
        return mapView_->searchObjectsMatchingStringIncludeAddressesDelayedWithCompletionBlock(
            text, true, true, [weak](const std::vector<std::shared_ptr<CBGeoSearchResult>>& hits) {
                auto me = weak.lock();
                if (!me)
                    return;
                me->results_ = hits;
                me->searchBar_->setLoading(false);
                me->searchDisplay_->searchResultsTableView()->reloadData();
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
    if (!started) {
        searchBar_->setLoading(false);
        results_.clear();
        return true;
    }
    return false;
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
    auto& chosen = *results_[size_t(path.row)];
    searchDisplay_->setActive(false);
    if (!chosen.object())
        return;
    mapView_->setCentersOnUserLocation(false);
    showAnnotationForGeoObjectWithObjectIDAndAddressWithObjectIDIsBookmark(
        chosen.object()->objectID(),
        chosen.address() ? std::optional(chosen.address()->objectID()) : std::nullopt, false);
    const auto annotations = mapView_->annotations();
    if (annotations.empty())
        return;
    showCoordinateAtZoomLevel(annotations.front()->coordinate(), kChosenHitZoomLevel);
    selectWhenShown(annotations.front());
}

std::string CBMapViewController::basePathForTTImages() const {
    auto map = registry_ ? registry_->currentMap() : nullptr;
    const std::string identifier = map ? map->identifier().value_or("") : "";
    return NSSearchPathForDirectory(NSSearchPathDirectory::Documents) + "/maps/" + identifier +
           "/toptable/images";
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
    if (!openedStorePath_.empty())
        licence = (std::filesystem::path(openedStorePath_).parent_path() / "LICENSE.txt").string();
    auto settings = CBSettingsVC::settingsController(licence);
    // On the pad the settings float over the map instead of covering it.
    if (UI_USER_INTERFACE_IDIOM() == UIUserInterfaceIdiomPad)
        settings->setModalPresentationStyle(UIModalPresentationFormSheet);
    presentViewControllerAnimatedCompletion(settings, true, nullptr);
}

void CBMapViewController::showMessage(const std::string& title, const std::string& message) {
    alert_ = std::make_shared<UIAlertView>(title, message, std::weak_ptr<UIAlertViewDelegate>(),
                                           std::string("OK"));
    alert_->show();
}

void CBMapViewController::applicationDidMoveToBackground() {
    if (mapView_)
        mapView_->applicationDidMoveToBackground();
    // A deletion waits a moment before it is saved; quitting must not lose it.
    if (bookmarksManager_)
        bookmarksManager_->saveChanges();
}
