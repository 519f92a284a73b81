#include "model/CBCurrentMap.h"

#include <filesystem>
#include <system_error>

#include "CBGeoData/CBGeoCity.h"
#include "CBGeoData/CBGeoDataManager.h"
#include "Foundation/NSNotificationCenter.h"
#include "mapkit/CBOpenMap.h"
#include "model/CBTopTableFiles.h"
#include "model/CBWikipediaManager.h"
#include "packages/CBMapStoreCountry.h"
#include "packages/CBMapStoreMap.h"
#include "packages/CBUserMapStoreEngine.h"

std::shared_ptr<CBCurrentMap> CBCurrentMap::create(std::shared_ptr<CBUserMapStoreEngine> registry,
                                                   std::shared_ptr<CBBookmarksManager> bookmarks,
                                                   std::shared_ptr<CBWikipediaManager> wikipedia) {
    std::shared_ptr<CBCurrentMap> map(
        new CBCurrentMap(std::move(registry), std::move(bookmarks), std::move(wikipedia)));
    if (map->registry_)
        map->registry_->addDelegate(map);
    // An update that closed the map and then failed leaves its old files:
    // they open again as the map view's do.
    std::weak_ptr<CBCurrentMap> weak = map;
    map->closedMapObserver_ = NSNotificationCenter::defaultCenter()->addObserverForName(
        CBOpenMap::kCBOpenMapDidCloseNotification, nullptr, {}, [weak](const NSNotification&) {
            if (auto current = weak.lock();
                current && current->openMap_ && current->openMap_->isClosed())
                current->renewOpenMap();
        });
    return map;
}

CBCurrentMap::~CBCurrentMap() {
    NSNotificationCenter::defaultCenter()->removeObserver(closedMapObserver_);
}

CBCurrentMap::CBCurrentMap(std::shared_ptr<CBUserMapStoreEngine> registry,
                           std::shared_ptr<CBBookmarksManager> bookmarks,
                           std::shared_ptr<CBWikipediaManager> wikipedia)
    : registry_(std::move(registry)),
      bookmarks_(std::move(bookmarks)),
      wikipedia_(std::move(wikipedia)) {}

void CBCurrentMap::addObserver(const std::shared_ptr<CBCurrentMapObserver>& observer) {
    observers_.add(observer);
}

void CBCurrentMap::removeObserver(const std::shared_ptr<CBCurrentMapObserver>& observer) {
    observers_.remove(observer);
}

std::optional<std::string> CBCurrentMap::installedStorePath(const Map& map) {
    // An installed map keeps its files while an update of it loads.
    if (!map || (map->isDownloading() && !map->dateAdded()))
        return std::nullopt;
    auto path = map->filePath();
    std::error_code error;
    if (!path || !std::filesystem::is_regular_file(*path, error))
        return std::nullopt;
    return path;
}

std::optional<CBBookmarksManager::StoreState> CBCurrentMap::showOpenMap(
    std::shared_ptr<CBOpenMap> map) {
    if (!map || map->isClosed() || map->storePathes().empty())
        return std::nullopt;
    const std::string storePath = map->storePathes().front();
    const bool another = storePath_ != storePath;
    storePath_ = storePath;
    openMap_ = std::move(map);
    record_ = nullptr;
    if (auto current = registry_ ? registry_->currentMap() : nullptr;
        current && current->filePath() == storePath)
        record_ = current;
    const auto previous = std::exchange(identifier_, std::nullopt);
    if (record_)
        identifier_ = record_->identifier();
    else if (!storePath.empty())
        identifier_ = std::filesystem::path(storePath).stem().string();
    openRestaurantGuide();

    std::optional<CBBookmarksManager::StoreState> bookmarks;
    if (bookmarks_ && (identifier_ != previous ||
                       bookmarks_->storeState() != CBBookmarksManager::StoreState::Open))
        bookmarks = bookmarks_->setupForMapWithIdentifier(identifier_);
    if (another)
        tellObservers([&](CBCurrentMapObserver& observer) { observer.currentMapDidChange(*this); });
    return bookmarks;
}

void CBCurrentMap::close() {
    if (!isOpen())
        return;
    tellWillClose();
    const std::string identifier = identifier_.value_or("");
    release();
    tellObservers(
        [&](CBCurrentMapObserver& observer) { observer.currentMapDidClose(*this, identifier); });
}

void CBCurrentMap::release() {
    storePath_.reset();
    openMap_.reset();
    identifier_.reset();
    record_ = nullptr;
    restaurantGuide_ = false;
    if (bookmarks_)
        bookmarks_->setupForMapWithIdentifier(std::nullopt);
}

std::optional<std::string> CBCurrentMap::title() const {
    if (!record_)
        return std::nullopt;
    return record_->shortTitle();
}

std::optional<std::string> CBCurrentMap::country() const {
    auto country = record_ ? record_->country() : nullptr;
    if (!country)
        return std::nullopt;
    return country->localName();
}

std::optional<std::string> CBCurrentMap::cityName() const {
    if (auto shown = title())
        return shown;
    auto manager = dataManager();
    auto city = manager ? manager->currentCity() : nullptr;
    auto name = city ? city->localizedName() : std::nullopt;
    if (!name || name->empty())
        return std::nullopt;
    return name;
}

std::shared_ptr<CBGeoDataManager> CBCurrentMap::dataManager() const {
    return openMap_ ? openMap_->dataManager() : nullptr;
}

void CBCurrentMap::openRestaurantGuide() {
    auto manager = dataManager();
    restaurantGuide_ =
        manager && storePath_ && CBTopTableOpenGuideForMapStorePath(*manager, *storePath_);
}

std::string CBCurrentMap::restaurantGuideImagesPath() const {
    return storePath_ ? CBTopTableImagesPathForMapStorePath(*storePath_) : std::string();
}

bool CBCurrentMap::hasWikipedia() const {
    return wikipedia_ && identifier_ && wikipedia_->currentMapIdentifier() == identifier_ &&
           wikipedia_->wikipediaAvailable();
}

bool CBCurrentMap::isShown(const Map& map) const {
    return map && storePath_ && map->filePath() == storePath_;
}

// The map shown from elsewhere that became an installed map takes up its
// record: its title and country are the registry's from now on.
void CBCurrentMap::userMapStoreChangeCurrentMapTo(CBUserMapStoreEngine&, const Map& map) {
    if (map && map != record_ && isShown(map))
        record_ = map;
}

void CBCurrentMap::tellWillClose() {
    tellObservers([&](CBCurrentMapObserver& observer) { observer.currentMapWillClose(*this); });
}

// The registry closes open maps by identifier: a stand-in for the map (the
// bundled sample) closes with it.
bool CBCurrentMap::closesWith(const Map& map) const {
    return map && openMap_ && map->identifier() == openMap_->identifier();
}

// Before the registry closes the map to swap its files.
void CBCurrentMap::userMapStoreWillUpdateMap(CBUserMapStoreEngine&, const Map& map) {
    if (closesWith(map))
        tellWillClose();
}

// The update closed the map before its files were swapped: the new files
// open, with the guide the new package brings.
void CBCurrentMap::userMapStoreUpdatedMap(CBUserMapStoreEngine&, const Map& map) {
    if (!isShown(map))
        return;
    record_ = map;
    renewOpenMap();
}

void CBCurrentMap::renewOpenMap() {
    if (openMap_->isClosed()) {
        auto reopened = CBOpenMap::openStorePathes(openMap_->storePathes());
        if (!reopened) {
            close();
            return;
        }
        openMap_ = std::move(reopened);
    }
    openRestaurantGuide();
    tellObservers([&](CBCurrentMapObserver& observer) { observer.currentMapDidChange(*this); });
}

// Before the files go: the holders let the store go while it is whole. A
// stand-in for the deleted map opens again from its own files.
void CBCurrentMap::userMapStoreWillDeleteMap(CBUserMapStoreEngine&, const Map& map) {
    if (isShown(map))
        close();
    else if (closesWith(map))
        tellWillClose();
}
