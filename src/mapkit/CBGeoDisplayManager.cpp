#include "mapkit/CBGeoDisplayManager.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>

#include "CBGeoData/CBGeoDataManager.h"
#include "CBGeoData/CBGeoElement.h"
#include "CBGeoData/CBGeoMapTile.h"
#include "Dispatch/NSTimer.h"
#include "Foundation/NSAssert.h"
#include "UIKit/UIScreen.h"
#include "foundation/NSThread+uniqueIdentifier.h"
#include "mapkit/CBDiskTileCache.h"
#include "mapkit/CBMapProjector.h"
#include "mapkit/CBTileRequest.h"

namespace {

constexpr const char* kSource = "mapkit/CBGeoDisplayManager";
// From this zoom on, elements are drawn in their own layers (bridges over
// roads, tunnels under them); below it one layer keeps the map quiet.
constexpr int kFirstLayeredZoomLevel = 15;

std::string describe(const std::shared_ptr<CBGeoDataSource>& source) {
    return source ? "<data source>" : "(null)";
}

void assertBoth(const std::shared_ptr<CBGeoDataSource>& source,
                const std::shared_ptr<CBGeoDataSource>& existing) {
    NSAssert(source && existing, kSource,
             "please provide both a datasource (%s) and an existing datasource (%s)",
             describe(source).c_str(), describe(existing).c_str());
}

}  // namespace

CBGeoDisplayManager::CBGeoDisplayManager(std::optional<CGFloat> screenScale)
    : screenScale_(screenScale ? *screenScale : UIScreen::mainScreen()->scale()) {
    diskCache_ = CBDiskTileCache::sharedCache();
    saveTimer_ = CBDiskTileCache::scheduledSaveTimerForCache(diskCache_);
    if (auto path = CBGeoStyleSheet::defaultStylePlistPath())
        changeStyleToStylePlist(*path);
    else
        setStyleSheet(std::make_shared<CBGeoStyleSheet>());
}

CBGeoDisplayManager::~CBGeoDisplayManager() {
    if (saveTimer_)
        saveTimer_->invalidate();
}

std::shared_ptr<CBGeoStyleSheet> CBGeoDisplayManager::styleSheet() const {
    std::lock_guard lock(styleLock_);
    return styleSheet_;
}

void CBGeoDisplayManager::setStyleSheet(const std::shared_ptr<CBGeoStyleSheet>& sheet) {
    std::lock_guard lock(styleLock_);
    styleSheet_ = sheet;
    styleSheetForThreadDict_.clear();
}

std::shared_ptr<CBGeoDataManager> CBGeoDisplayManager::geoDataManager() const {
    std::lock_guard lock(listLock_);
    return geoDataManager_;
}

void CBGeoDisplayManager::setGeoDataManager(const std::shared_ptr<CBGeoDataManager>& manager) {
    std::lock_guard lock(listLock_);
    geoDataManager_ = manager;
}

CBGeoDisplayManager::DataSourceList CBGeoDisplayManager::dataSources() const {
    std::lock_guard lock(listLock_);
    return dataSources_;
}

CBGeoDisplayManager::DataSourceList CBGeoDisplayManager::overlayDataSources() const {
    std::lock_guard lock(listLock_);
    return overlayDataSources_;
}

std::shared_ptr<CBDiskTileCache> CBGeoDisplayManager::diskCache() const {
    std::lock_guard lock(listLock_);
    return diskCache_;
}

std::optional<std::string> CBGeoDisplayManager::currentStylePlistPath() const {
    std::lock_guard lock(styleLock_);
    return currentStylePlistPath_;
}

bool CBGeoDisplayManager::changeStyleToStylePlist(const std::string& path) {
    std::lock_guard lock(styleLock_);
    if (currentStylePlistPath_ == path)
        return false;
    styleSheet_ = CBGeoStyleSheet::sharedStyleSheetForPlistPathAtScale(path, screenScale_);
    currentStylePlistPath_ = path;
    styleIdentifier_ = std::filesystem::path(path).stem().string();
    styleSheetForThreadDict_.clear();
    return true;
}

std::shared_ptr<CBGeoStyleSheet> CBGeoDisplayManager::styleSheetForThreadLocked(
    const std::string& thread) {
    auto& sheet = styleSheetForThreadDict_[thread];
    if (!sheet)
        sheet = CBGeoStyleSheet::createWithStyleSheet(styleSheet_);
    return sheet;
}

std::shared_ptr<CBGeoStyleSheet> CBGeoDisplayManager::styleSheetForCurrentThread() {
    std::string thread = uniqueIdentifier();
    std::lock_guard lock(styleLock_);
    return styleSheetForThreadLocked(thread);
}

std::shared_ptr<const CBMapProjector> CBGeoDisplayManager::projector() const {
    std::lock_guard lock(listLock_);
    return projector_;
}

void CBGeoDisplayManager::setProjector(std::shared_ptr<const CBMapProjector> projector) {
    std::lock_guard lock(listLock_);
    projector_ = std::move(projector);
}

std::string CBGeoDisplayManager::storeIdentifier() const {
    std::lock_guard lock(listLock_);
    return storeIdentifier_;
}

void CBGeoDisplayManager::setStoreIdentifier(std::string identifier) {
    std::lock_guard lock(listLock_);
    storeIdentifier_ = std::move(identifier);
}

bool CBGeoDisplayManager::cacheTransparentTileImages() const {
    std::lock_guard lock(listLock_);
    return cacheTransparentTileImages_;
}

void CBGeoDisplayManager::setCacheTransparentTileImages(bool transparent) {
    std::lock_guard lock(listLock_);
    cacheTransparentTileImages_ = transparent;
}

CBTileRequest CBGeoDisplayManager::tileRequestForRectXYZAtScale(const CGRect& rect, int x, int y,
                                                                int z, float scale) {
    CBTileRequest request;
    request.x = x;
    request.y = y;
    request.zoom = z;
    request.rect = rect;
    request.scale = scale;
    request.screenScale = screenScale_;
    const std::string thread = uniqueIdentifier();
    {
        std::lock_guard lock(styleLock_);
        request.styleSheet = styleSheetForThreadLocked(thread);
        request.styleIdentifier = styleIdentifier_;
    }
    std::lock_guard lock(listLock_);
    request.projector = projector_;
    request.storeIdentifier = storeIdentifier_;
    request.dataManager = geoDataManager_;
    request.transparentBackground = cacheTransparentTileImages_;
    return request;
}

CBTileRequest CBGeoDisplayManager::tileRequestForXYZ(int x, int y, int z) {
    auto laidOut = projector();
    return tileRequestForRectXYZAtScale(laidOut ? laidOut->rectForXYZ(x, y, z) : CGRectZero, x, y,
                                        z, laidOut ? laidOut->scaleForNativeZoomlevel(z) : 1.0f);
}

void CBGeoDisplayManager::disableDiskCache() {
    std::lock_guard lock(listLock_);
    if (saveTimer_)
        saveTimer_->invalidate();
    saveTimer_.reset();
    diskCache_.reset();
}

std::optional<std::vector<std::shared_ptr<CBGeoMapTile>>>
CBGeoDisplayManager::getMapTilesForQuadKeys(const std::vector<int64_t>& quadKeys) {
    auto manager = geoDataManager();
    if (!manager)
        return std::nullopt;
    return manager->mapTilesForQuadKeysIsRefetch(quadKeys, false);
}

std::optional<std::vector<std::shared_ptr<CBGeoMapTile>>>
CBGeoDisplayManager::getRefetchedMapTilesForQuadKeys(const std::vector<int64_t>& quadKeys) {
    auto manager = geoDataManager();
    if (!manager)
        return std::nullopt;
    return manager->mapTilesForQuadKeysIsRefetch(quadKeys, true);
}

std::optional<std::vector<CBGeoElementAnchor>> CBGeoDisplayManager::getElementAnchorsForQuadKeys(
    const std::vector<int64_t>& quadKeys) {
    auto manager = geoDataManager();
    if (!manager)
        return std::nullopt;
    return manager->elementAnchorsForQuadKeys(quadKeys);
}

std::optional<std::vector<CBGeoDisplayManager::ElementsByStyle>>
CBGeoDisplayManager::sortedElementsForMapTiles(
    const std::vector<std::shared_ptr<CBGeoMapTile>>& tiles) {
    if (tiles.empty() || !tiles.back())
        return std::nullopt;
    auto lastKey = tiles.back()->quadKey();
    int zoom = lastKey ? static_cast<int>(std::to_string(*lastKey).size()) - 1 : 0;
    std::vector<std::shared_ptr<CBGeoElement>> elements;
    for (const auto& tile : tiles) {
        if (!tile)
            continue;
        const auto& own = tile->elements();
        elements.insert(elements.end(), own.begin(), own.end());
    }
    return sortedElementsAtZoomlevel(elements, zoom);
}

std::vector<CBGeoDisplayManager::ElementsByStyle> CBGeoDisplayManager::sortedElementsAtZoomlevel(
    const std::vector<std::shared_ptr<CBGeoElement>>& elements, int zoom) {
    std::set<const CBGeoElement*> seen;
    std::map<int64_t, ElementsByStyle> layers;
    for (const auto& element : elements) {
        if (!element || !seen.insert(element.get()).second)
            continue;
        auto styleIds = element->styleIds();
        if (!styleIds || styleIds->empty())
            continue;
        int64_t layer = 0;
        if (zoom >= kFirstLayeredZoomLevel) {
            if (auto index = element->layerIndex())
                layer = *index;
        }
        auto& byStyle = layers[layer];
        for (int64_t styleId : *styleIds)
            byStyle[styleId].push_back(element);
    }
    std::vector<ElementsByStyle> sorted;
    sorted.reserve(layers.size());
    for (auto& [layer, byStyle] : layers)
        sorted.push_back(std::move(byStyle));
    return sorted;
}

void CBGeoDisplayManager::addDatasource(const std::shared_ptr<CBGeoDataSource>& source) {
    if (!source)
        return;
    std::lock_guard lock(listLock_);
    dataSources_.push_back(source);
}

void CBGeoDisplayManager::removeDatasource(const std::shared_ptr<CBGeoDataSource>& source) {
    std::lock_guard lock(listLock_);
    std::erase(dataSources_, source);
}

void CBGeoDisplayManager::addOverlayDatasource(const std::shared_ptr<CBGeoDataSource>& source) {
    if (!source)
        return;
    std::lock_guard lock(listLock_);
    overlayDataSources_.push_back(source);
}

void CBGeoDisplayManager::removeOverlayDatasource(const std::shared_ptr<CBGeoDataSource>& source) {
    std::lock_guard lock(listLock_);
    std::erase(overlayDataSources_, source);
}

void CBGeoDisplayManager::insertDatasourceAbove(const std::shared_ptr<CBGeoDataSource>& source,
                                                const std::shared_ptr<CBGeoDataSource>& existing) {
    assertBoth(source, existing);
    std::lock_guard lock(listLock_);
    auto found = std::find(dataSources_.begin(), dataSources_.end(), existing);
    if (found == dataSources_.end())
        dataSources_.push_back(source);
    else
        dataSources_.insert(found + 1, source);
}

void CBGeoDisplayManager::insertDatasourceBelow(const std::shared_ptr<CBGeoDataSource>& source,
                                                const std::shared_ptr<CBGeoDataSource>& existing) {
    assertBoth(source, existing);
    std::lock_guard lock(listLock_);
    // One place before the existing source's index: the new source lands
    // under the existing one's lower neighbour. First when the existing
    // source is first (there is no place before it) or not in the list.
    auto found = std::find(dataSources_.begin(), dataSources_.end(), existing);
    if (found == dataSources_.end() || found == dataSources_.begin())
        dataSources_.insert(dataSources_.begin(), source);
    else
        dataSources_.insert(found - 1, source);
}

void CBGeoDisplayManager::drawDataSourcesForTileRequestInContext(const CBTileRequest& request,
                                                                 CGContext& context) {
    drawList(dataSources(), request, context);
}

void CBGeoDisplayManager::drawOverlayDataSourcesForTileRequestInContext(
    const CBTileRequest& request, CGContext& context) {
    drawList(overlayDataSources(), request, context);
}

void CBGeoDisplayManager::drawDataSourcesInRectForXYZAtScaleInContext(const CGRect& rect, int x,
                                                                      int y, int z, float scale,
                                                                      CGContext& context) {
    drawDataSourcesForTileRequestInContext(tileRequestForRectXYZAtScale(rect, x, y, z, scale),
                                           context);
}

void CBGeoDisplayManager::drawOverlayDataSourcesInRectForXYZAtScaleInContext(const CGRect& rect,
                                                                             int x, int y, int z,
                                                                             float scale,
                                                                             CGContext& context) {
    auto list = overlayDataSources();
    if (list.empty())
        return;
    drawList(list, tileRequestForRectXYZAtScale(rect, x, y, z, scale), context);
}

void CBGeoDisplayManager::drawList(const DataSourceList& list, const CBTileRequest& request,
                                   CGContext& context) {
    for (const auto& source : list)
        source->drawTileRequestInContext(request, context);
}

void CBGeoDisplayManager::coordinateSystemChanged() {
    for (const auto& source : dataSources())
        source->coordinateSystemChanged();
}
