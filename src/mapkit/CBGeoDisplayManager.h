#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "CBGeoData/CBGeoElementAnchor.h"
#include "CoreGraphics/CGGeometry.h"
#include "mapkit/CBGeoDataSource.h"
#include "mapkit/CBGeoStyleSheet.h"
#include "mapkit/CBTileRequest.h"

class CBDiskTileCache;
class CBGeoDataManager;
class CBGeoElement;
class CBGeoMapTile;
class CBMapProjector;
class CBMapScrollView;
class CGContext;
class NSTimer;

// The renderer of one map: owns the master style sheet and hands every
// drawing thread its own copy, keeps the ordered data sources and overlay
// data sources that draw each tile, shares the process's disk tile cache
// and owns a timer that flushes its index, and knows what it draws: the projector of the
// laid-out map, the store (identifier and geo data) and the screen's scale.
// From these it gathers one request per tile, which its data sources draw
// from; it needs no view, so a map view, the tile-cache pre-fill and tools
// drawing covers each set one up.
//
// Threads: tiles are drawn on worker threads; list, style, store and cache
// changes come from the main thread. Drawing walks a snapshot of a list, so
// a source added or removed meanwhile takes effect from the next tile.
class CBGeoDisplayManager {
  public:
    // Per layer (ascending), style id -> the elements drawn with it.
    using ElementsByStyle = std::map<int64_t, std::vector<std::shared_ptr<CBGeoElement>>>;
    using DataSourceList = std::vector<std::shared_ptr<CBGeoDataSource>>;

    // Takes the process's disk cache with a 30 s save timer on the current
    // run loop and the shared parse of the default style ("mapStyle/defaultMapStyle.plist" in
    // Quillmere.bundle). Tiles are for a screen of screenScale pixels per
    // point (nullopt: the main screen's, read here, on the main thread).
    explicit CBGeoDisplayManager(std::optional<CGFloat> screenScale = std::nullopt);
    ~CBGeoDisplayManager();
    CBGeoDisplayManager(const CBGeoDisplayManager&) = delete;
    CBGeoDisplayManager& operator=(const CBGeoDisplayManager&) = delete;

    // The master sheet; nullptr once the map view dropped its vector source.
    std::shared_ptr<CBGeoStyleSheet> styleSheet() const;
    void setStyleSheet(const std::shared_ptr<CBGeoStyleSheet>& sheet);

    std::shared_ptr<CBMapScrollView> map() const { return map_.lock(); }
    void setMap(const std::weak_ptr<CBMapScrollView>& map) { map_ = map; }

    // Where map tiles come from: the map view's geo data manager, set by the
    // map view whenever its store changes (nullptr: no map, no tiles).
    std::shared_ptr<CBGeoDataManager> geoDataManager() const;
    void setGeoDataManager(const std::shared_ptr<CBGeoDataManager>& manager);

    // What the tiles are of: the laid-out map (nullptr: not configured, no
    // tile is drawn by the sources that project) and the store's identifier.
    std::shared_ptr<const CBMapProjector> projector() const;
    void setProjector(std::shared_ptr<const CBMapProjector> projector);
    std::string storeIdentifier() const;
    void setStoreIdentifier(std::string identifier);
    CGFloat screenScale() const { return screenScale_; }
    // Tiles rendered for the cache without the base map's background.
    bool cacheTransparentTileImages() const;
    void setCacheTransparentTileImages(bool transparent);

    // One tile's request, made on the thread that draws it (it carries that
    // thread's style sheet); the second lays the tile out by the projector
    // at its zoom's scale.
    CBTileRequest tileRequestForRectXYZAtScale(const CGRect& rect, int x, int y, int z,
                                               float scale);
    CBTileRequest tileRequestForXYZ(int x, int y, int z);

    DataSourceList dataSources() const;
    DataSourceList overlayDataSources() const;
    std::shared_ptr<CBDiskTileCache> diskCache() const;
    std::optional<std::string> currentStylePlistPath() const;

    // false when the path is the current one; otherwise parses the plist into
    // a new master sheet and makes every thread take a fresh copy.
    bool changeStyleToStylePlist(const std::string& path);
    // The calling thread's copy of the master sheet.
    std::shared_ptr<CBGeoStyleSheet> styleSheetForCurrentThread();

    // Stops the save timer and drops the cache: tiles are no longer cached.
    void disableDiskCache();

    std::optional<std::vector<std::shared_ptr<CBGeoMapTile>>> getMapTilesForQuadKeys(
        const std::vector<int64_t>& quadKeys);
    std::optional<std::vector<std::shared_ptr<CBGeoMapTile>>> getRefetchedMapTilesForQuadKeys(
        const std::vector<int64_t>& quadKeys);
    // The anchored elements of the tiles, without loading them (see
    // CBGeoDataManager::elementAnchorsForQuadKeys).
    std::optional<std::vector<CBGeoElementAnchor>> getElementAnchorsForQuadKeys(
        const std::vector<int64_t>& quadKeys);
    // The elements of the tiles with style ids, each once, grouped by layer
    // (their layerIndex from zoom 15 on, else 0) and style id; nullopt for
    // no tiles.
    static std::optional<std::vector<ElementsByStyle>> sortedElementsForMapTiles(
        const std::vector<std::shared_ptr<CBGeoMapTile>>& tiles);
    // The same for a list of elements drawn at a zoom level.
    static std::vector<ElementsByStyle> sortedElementsAtZoomlevel(
        const std::vector<std::shared_ptr<CBGeoElement>>& elements, int zoom);
    void geoDataTileFinishedRendering(const std::shared_ptr<CBGeoMapTile>&) {}

    void addDatasource(const std::shared_ptr<CBGeoDataSource>& source);
    void removeDatasource(const std::shared_ptr<CBGeoDataSource>& source);
    void addOverlayDatasource(const std::shared_ptr<CBGeoDataSource>& source);
    void removeOverlayDatasource(const std::shared_ptr<CBGeoDataSource>& source);
    // Directly above existing, or last when existing is not in the list.
    void insertDatasourceAbove(const std::shared_ptr<CBGeoDataSource>& source,
                               const std::shared_ptr<CBGeoDataSource>& existing);
    // At the index before existing's, under existing's lower neighbour; first
    // when existing is first or not in the list.
    void insertDatasourceBelow(const std::shared_ptr<CBGeoDataSource>& source,
                               const std::shared_ptr<CBGeoDataSource>& existing);

    void drawDataSourcesForTileRequestInContext(const CBTileRequest& request, CGContext& context);
    void drawOverlayDataSourcesForTileRequestInContext(const CBTileRequest& request,
                                                       CGContext& context);
    // The same for a tile given by its rectangle: its request is made here.
    void drawDataSourcesInRectForXYZAtScaleInContext(const CGRect& rect, int x, int y, int z,
                                                     float scale, CGContext& context);
    void drawOverlayDataSourcesInRectForXYZAtScaleInContext(const CGRect& rect, int x, int y, int z,
                                                            float scale, CGContext& context);
    // Tells each data source (not the overlays).
    void coordinateSystemChanged();

  private:
    static void drawList(const DataSourceList& list, const CBTileRequest& request,
                         CGContext& context);
    // Under styleLock_.
    std::shared_ptr<CBGeoStyleSheet> styleSheetForThreadLocked(const std::string& thread);

    const CGFloat screenScale_;

    mutable std::mutex styleLock_;  // styleSheet_, path, identifier, per-thread table
    std::shared_ptr<CBGeoStyleSheet> styleSheet_;
    std::optional<std::string> currentStylePlistPath_;
    std::string styleIdentifier_;  // the plist's name without extension
    std::map<std::string, std::shared_ptr<CBGeoStyleSheet>> styleSheetForThreadDict_;

    std::weak_ptr<CBMapScrollView> map_;
    mutable std::mutex listLock_;  // both lists, the cache, what the tiles are of
    DataSourceList dataSources_;
    DataSourceList overlayDataSources_;
    std::shared_ptr<CBDiskTileCache> diskCache_;
    std::shared_ptr<NSTimer> saveTimer_;
    std::shared_ptr<CBGeoDataManager> geoDataManager_;
    std::shared_ptr<const CBMapProjector> projector_;
    std::string storeIdentifier_;
    bool cacheTransparentTileImages_ = false;
};
