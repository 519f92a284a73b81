// The map the view shows (an open map) and its visible area saved per map.
#include "CBGeoData/CBBoundingBox.h"
#include "CBGeoData/CBGeoDataManager.h"
#include "CBGeoData/CBGeoObject.h"
#include "Foundation/NSLog.h"
#include "Foundation/NSNotificationCenter.h"
#include "mapkit/CBAnnotationsManager.h"
#include "mapkit/CBGeoDisplayManager.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBMapViewSavedState.h"
#include "mapkit/CBOpenMap.h"
#include "mapkit/CBVectorDataSource.h"

std::optional<std::string> CBMapScrollView::mapStorePathFromPathes(
    const std::vector<std::string>& paths) {
    return CBOpenMap::identifierForStorePathes(paths);
}

std::string CBMapScrollView::mapStoreVersionFromPathes(const std::vector<std::string>& paths) {
    return CBOpenMap::versionForStorePathes(paths);
}

std::optional<std::string> CBMapScrollView::currentIdentifier() const {
    std::lock_guard lock(storeMutex_);
    return currentMapStorePath_;
}

std::string CBMapScrollView::currentMapStorePath() const {
    return currentIdentifier().value_or("");
}

void CBMapScrollView::setCurrentMapStorePath(const std::optional<std::string>& identifier) {
    {
        std::lock_guard lock(storeMutex_);
        currentMapStorePath_ = identifier;
    }
    // The renderer's tiles are cached under the store's identifier.
    if (displayManager_)
        displayManager_->setStoreIdentifier(identifier.value_or(""));
}

std::shared_ptr<CBOpenMap> CBMapScrollView::openMap() const {
    std::lock_guard lock(storeMutex_);
    return openMap_;
}

std::shared_ptr<CBGeoDataManager> CBMapScrollView::dataManager() const {
    auto map = openMap();
    return map ? map->dataManager() : nullptr;
}

bool CBMapScrollView::setMapWithStorePathAndBoundingBox(const std::string& path,
                                                        const std::shared_ptr<CBBoundingBox>& box) {
    return setMapWithStorePathesAndBoundingBox({path}, box);
}

bool CBMapScrollView::setMapWithStorePathesAndBoundingBox(
    const std::vector<std::string>& paths, const std::shared_ptr<CBBoundingBox>& box) {
    auto identifier = mapStorePathFromPathes(paths);
    if (!identifier)
        return false;
    if (auto shown = openMap(); shown && !shown->isClosed() && shown->identifier() == *identifier)
        return true;
    auto map = CBOpenMap::openStorePathes(paths);
    if (!map) {
        setOpenMap(nullptr);
        return false;
    }
    return setOpenMap(map, box);
}

bool CBMapScrollView::setOpenMap(const std::shared_ptr<CBOpenMap>& map,
                                 const std::shared_ptr<CBBoundingBox>& box) {
    if (map && map == openMap() && !map->isClosed())
        return true;
    if (vectorDataSourceLayer_)
        vectorDataSourceLayer_->resetCollisionDetectionMemory();
    if (auto current = currentIdentifier(); current && savesState_)
        saveStateWithIdentifier(current);
    resetMap();
    auto mapBox = box ? box : (map ? map->boundingBox() : nullptr);
    if (!map || map->isClosed() || !mapBox)
        return false;
    {
        std::lock_guard lock(storeMutex_);
        openMap_ = map;
    }
    setCurrentMapStorePath(map->identifier());
    displayManager_->setGeoDataManager(map->dataManager());
    CBGeoObject::setCurrentCountryForShortenedNamesWithCountryCode(map->cities().countryCode);
    if (!openMapObserver_) {
        std::weak_ptr<CBMapScrollView> weakSelf = self();
        openMapObserver_ = NSNotificationCenter::defaultCenter()->addObserverForName(
            CBOpenMap::kCBOpenMapDidCloseNotification, nullptr, {},
            [weakSelf](const NSNotification& notification) {
                auto found = notification.userInfo.find("identifier");
                const std::string* identifier =
                    found == notification.userInfo.end() ? nullptr : found->second.stringValue();
                if (auto view = weakSelf.lock(); view && identifier)
                    view->reopenClosedMap(*identifier);
            });
    }
    setMapBoundingBox(mapBox);
    restoreStateWithIdentifier(map->identifier());
    return true;
}

void CBMapScrollView::reopenClosedMap(const std::string& identifier) {
    auto shown = openMap();
    if (!shown || !shown->isClosed() || shown->identifier() != identifier)
        return;
    NSLogWithLevel(NSLogLevel::Info, "CBMapScrollView: the map %s was closed, opening it again",
                   identifier.c_str());
    const std::vector<std::string> paths = shown->storePathes();
    // The closed map's state is saved here; the new map restores it.
    setOpenMap(nullptr);
    setMapWithStorePathesAndBoundingBox(paths, nullptr);
}

void CBMapScrollView::resetMap() {
    if (annotationsManager_)
        annotationsManager_->removeAllAnnotations();
    setMapBoundingBox(nullptr);
    displayManager_->setGeoDataManager(nullptr);
    {
        std::lock_guard lock(storeMutex_);
        openMap_.reset();
    }
    setCurrentMapStorePath(std::nullopt);
}

void CBMapScrollView::saveStateWithIdentifier(const std::optional<std::string>& identifier) {
    if (CGRectIsEmpty(UIView::frame()) || (!savesState_ && !identifier))
        return;
    if (!visibleBBox_)
        return;
    CBMapViewSavedState::saveBoundingBoxAndZoomlevelForMapWithIdentifier(
        *visibleBBox_, nativeZoomLevel(), identifier);
}

bool CBMapScrollView::restoreStateWithIdentifier(const std::optional<std::string>& identifier) {
    if (CGRectIsEmpty(UIView::frame()) || (!savesState_ && !identifier))
        return false;
    auto box = CBMapViewSavedState::persistentBoundingBoxForMapWithIdentifier(
        identifier.value_or(CBMapViewSavedState::kDefaultIdentifier));
    if (!box)
        return false;
    zoomToBoundingBoxAnimated(box, false);
    return true;
}

std::optional<Value::Dictionary> CBMapScrollView::persistentDictionaryForMapWithIdentifier(
    const std::optional<std::string>& identifier) {
    return CBMapViewSavedState::persistentDictionaryForMapWithIdentifier(identifier);
}

std::optional<int> CBMapScrollView::persistentZoomlevelForMapWithIdentifier(
    const std::optional<std::string>& identifier) {
    return CBMapViewSavedState::persistentZoomlevelForMapWithIdentifier(identifier);
}

std::shared_ptr<CBBoundingBox> CBMapScrollView::persistentBoundingBoxForMapWithIdentifier(
    const std::optional<std::string>& identifier) {
    return CBMapViewSavedState::persistentBoundingBoxForMapWithIdentifier(identifier);
}

void CBMapScrollView::applicationDidMoveToBackground() {
    if (savesState_)
        saveStateWithIdentifier(currentIdentifier());
}

void CBMapScrollView::didMoveToSuperview() {
    UIScrollView::didMoveToSuperview();
    auto current = currentIdentifier();
    if (superview() && current && savesState_)
        restoreStateWithIdentifier(current);
}

void CBMapScrollView::willMoveToSuperview(const std::shared_ptr<UIView>& superview) {
    UIScrollView::willMoveToSuperview(superview);
    if (superview)
        return;
    setMapScaleHiddenAnimated(true, false);
    // A helper view (savesState NO) never overwrites the user's saved view.
    if (savesState_)
        saveStateWithIdentifier(currentIdentifier());
}
