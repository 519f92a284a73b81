// Opening map stores in the map view and saving its visible area per map.
#include <algorithm>
#include <filesystem>

#include "CBGeoData/CBBoundingBox.h"
#include "CBGeoData/CBGeoDataManager.h"
#include "CBGeoData/CBGeoObject.h"
#include "CoreData/CoreDataErrors.h"
#include "CoreData/NSPersistentStoreCoordinator.h"
#include "Foundation/NSFileManager.h"
#include "Foundation/NSLog.h"
#include "Foundation/NSPropertyListSerialization.h"
#include "mapkit/CBAnnotationsManager.h"
#include "mapkit/CBDiskTileCache.h"
#include "mapkit/CBGeoDisplayManager.h"
#include "mapkit/CBMapScaleBar.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBMapStoreCities.h"
#include "mapkit/CBVectorDataSource.h"

namespace {

constexpr const char* kStateFileName = "CBMap_state.plist";
constexpr const char* kDefaultIdentifier = "default";

std::string stateFilePath() {
    return (std::filesystem::path(CBGeoDataManager::applicationCachesDirectory()) / kStateFileName)
        .string();
}

// A missing or unreadable file counts as empty; the next save replaces an
// unreadable one.
Value::Dictionary readStateFile() {
    const std::string path = stateFilePath();
    NSError error;
    auto plist = NSPropertyListSerialization::propertyListWithContentsOfFile(path, &error);
    const Value::Dictionary* state = plist ? plist->dictionaryValue() : nullptr;
    if (std::error_code ignored; !state && std::filesystem::exists(path, ignored))
        NSLogWithLevel(NSLogLevel::Error, "Map view state %s unreadable, starting without it: %s",
                       path.c_str(),
                       plist ? "not a dictionary" : error.localizedDescription().c_str());
    return state ? *state : Value::Dictionary{};
}

}  // namespace

std::optional<std::string> CBMapScrollView::mapStorePathFromPathes(
    const std::vector<std::string>& paths) {
    if (paths.empty())
        return std::nullopt;
    std::vector<std::string> names;
    for (const auto& path : paths)
        names.push_back(std::filesystem::path(path).stem().string());
    std::sort(names.begin(), names.end());
    std::string identifier;
    for (const auto& name : names)
        identifier += name;
    return identifier;
}

std::string CBMapScrollView::mapStoreVersionFromPathes(const std::vector<std::string>& paths) {
    std::string version;
    for (const auto& path : paths) {
        auto metadata = NSPersistentStoreCoordinator::metadataForPersistentStoreOfTypeURL(
            NSSQLiteStoreType, path, nullptr);
        const std::string* uuid = nullptr;
        if (metadata) {
            if (auto found = metadata->find("NSStoreUUID"); found != metadata->end())
                uuid = found->second.stringValue();
        }
        if (!uuid)
            return {};
        version += (version.empty() ? "" : ",") + *uuid;
    }
    return version;
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

bool CBMapScrollView::setMapWithStorePathAndBoundingBox(const std::string& path,
                                                        const std::shared_ptr<CBBoundingBox>& box) {
    return setMapWithStorePathesAndBoundingBox({path}, box);
}

bool CBMapScrollView::setMapWithStorePathesAndBoundingBox(
    const std::vector<std::string>& paths, const std::shared_ptr<CBBoundingBox>& box) {
    auto identifier = mapStorePathFromPathes(paths);
    if (!identifier)
        return false;
    auto current = currentIdentifier();
    if (identifier == current)
        return true;
    if (vectorDataSourceLayer_)
        vectorDataSourceLayer_->resetCollisionDetectionMemory();
    if (current && savesState_)
        saveStateWithIdentifier(current);
    resetMap();
    // Every path is checked before any store opens, so a missing later path
    // leaves nothing half-open.
    auto files = NSFileManager::defaultManager();
    for (const auto& path : paths) {
        if (!files->fileExistsAtPath(path)) {
            NSLogWithLevel(NSLogLevel::Error, "CBMapScrollView: no map store at %s", path.c_str());
            return false;
        }
    }
    if (!dataManager_)
        dataManager_ = CBGeoDataManager::create();
    for (const auto& path : paths) {
        if (!dataManager_->addPersistentStoreCoordinatorWithPath(path)) {
            NSLogWithLevel(NSLogLevel::Error, "CBMapScrollView: cannot open the map store %s",
                           path.c_str());
            resetMap();
            return false;
        }
    }
    auto coordinator = dataManager_->persistentStoreCoordinator();
    if (!coordinator || coordinator->persistentStores().empty()) {
        resetMap();
        return false;
    }
    setCurrentMapStorePath(identifier);
    // Tiles cached from an earlier build of the same map are not its tiles.
    if (auto cache = displayManager_->diskCache())
        cache->useVersionForStoreIdentifier(*identifier, mapStoreVersionFromPathes(paths));
    displayManager_->setGeoDataManager(dataManager_);

    const CBMapStoreCities cities = CBMapStoreCities::citiesOfDataManager(*dataManager_);
    auto mapBox = box ? box : cities.boundingBox;
    if (vectorDataSourceLayer_)
        vectorDataSourceLayer_->resetCollisionDetectionMemory();
    CBGeoObject::setCurrentCountryForShortenedNamesWithCountryCode(cities.countryCode);
    if (!mapBox) {
        resetMap();
        return false;
    }
    setMapBoundingBox(mapBox);
    restoreStateWithIdentifier(identifier);
    return true;
}

void CBMapScrollView::resetMap() {
    if (annotationsManager_)
        annotationsManager_->removeAllAnnotations();
    setMapBoundingBox(nullptr);
    if (dataManager_)
        dataManager_->releaseCoreDataStack();
    displayManager_->setGeoDataManager(nullptr);
    setCurrentMapStorePath(std::nullopt);
}

void CBMapScrollView::saveStateWithIdentifier(const std::optional<std::string>& identifier) {
    if (CGRectIsEmpty(UIView::frame()) || (!savesState_ && !identifier))
        return;
    if (!visibleBBox_)
        return;
    Value::Dictionary state = readStateFile();
    Value::Dictionary entry = visibleBBox_->dictionary();
    entry["zoom"] = Value(static_cast<int64_t>(nativeZoomLevel()));
    state[identifier.value_or(kDefaultIdentifier)] = Value(std::move(entry));
    std::filesystem::create_directories(CBGeoDataManager::applicationCachesDirectory());
    if (!NSPropertyListSerialization::writePropertyListToFile(
            Value(std::move(state)), stateFilePath(), NSPropertyListSerialization::Format::XML))
        NSLogWithLevel(NSLogLevel::Error, "CBMapScrollView: cannot write %s",
                       stateFilePath().c_str());
}

bool CBMapScrollView::restoreStateWithIdentifier(const std::optional<std::string>& identifier) {
    if (CGRectIsEmpty(UIView::frame()) || (!savesState_ && !identifier))
        return false;
    auto box = persistentBoundingBoxForMapWithIdentifier(identifier.value_or(kDefaultIdentifier));
    if (!box)
        return false;
    zoomToBoundingBoxAnimated(box, false);
    return true;
}

std::optional<Value::Dictionary> CBMapScrollView::persistentDictionaryForMapWithIdentifier(
    const std::optional<std::string>& identifier) {
    if (!identifier)
        return std::nullopt;
    Value::Dictionary state = readStateFile();
    auto it = state.find(*identifier);
    const Value::Dictionary* entry = it == state.end() ? nullptr : it->second.dictionaryValue();
    if (!entry)
        return std::nullopt;
    return *entry;
}

std::optional<int> CBMapScrollView::persistentZoomlevelForMapWithIdentifier(
    const std::optional<std::string>& identifier) {
    auto entry = persistentDictionaryForMapWithIdentifier(identifier);
    if (!entry)
        return std::nullopt;
    auto it = entry->find("zoom");
    auto zoom = it == entry->end() ? std::nullopt : it->second.integerValue();
    if (!zoom)
        return std::nullopt;
    return static_cast<int>(*zoom);
}

std::shared_ptr<CBBoundingBox> CBMapScrollView::persistentBoundingBoxForMapWithIdentifier(
    const std::optional<std::string>& identifier) {
    auto entry = persistentDictionaryForMapWithIdentifier(identifier);
    return entry ? CBBoundingBox::bboxFromDictionary(*entry) : nullptr;
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
    scaleBar_->setMapScaleHiddenAnimated(true, false);
    // A helper view (savesState NO) never overwrites the user's saved view.
    if (savesState_)
        saveStateWithIdentifier(currentIdentifier());
}
