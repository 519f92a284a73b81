#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "CoreGraphics/CGGeometry.h"

class CBBoundingBox;
class CBGeoDisplayManager;
class CBMapProjection;
class CBVectorDataSource;
class DispatchQueue;
class UIAlertView;

// Renders the low and middle zoom levels of a box into the disk tile cache
// in the background, so that the first look at a newly installed map is
// fast, and the map view's cache-clearing operations.
//
// A run walks the levels of the box, skips what is cached, renders the rest
// through a renderer's vector data source and keeps within a tile budget:
// levels are taken while the running total stays at or below 1000 tiles, and
// from the first level at which the total exceeds 500 (the cut level, 15 at
// most) only tiles whose x and y have equal parity are rendered. The renderer
// is a display manager with its projector, store and disk cache: a map
// view's, or one made for an installed store with no view at all, over the
// store's open map (CBOpenMap), which a map showing it shares.
//
// A run over an open map ends when the map closes (the map is deleted, or
// its files replaced by an update): the tile under way is finished, nothing
// is put into the cache after the close, and the blocks are called as after
// a stop. The program's end stops a run between tiles, without the blocks.
class CBMapTileCachePrefill {
  public:
    // (progress 0...1, finished) -> true to stop.
    using ProgressBlock = std::function<bool(float progress, bool finished)>;
    using CompletionBlock = std::function<void()>;

    static constexpr int kInitialCutLevel = 15;
    static constexpr long kCutThreshold = 500;
    static constexpr long kBudget = 1000;
    // The thread's context is reset at every 16th tile position.
    static constexpr int kContextResetCounterLimit = 15;

    struct Level {
        int z = 0;
        int top = 0, left = 0, bottom = 0, right = 0;
        long tileCount() const { return long(bottom - top + 1) * long(right - left + 1); }
    };
    struct Plan {
        std::vector<Level> levels;  // the levels taken, zStart upwards
        int cut = kInitialCutLevel;
        long total = 0;  // tiles to render (cut levels halved)
    };

    // The tiles of each level from firstLevel, count levels.
    static std::vector<Level> levelsForBoundingBox(const CBMapProjection& projection,
                                                   const CBBoundingBox& box, int firstLevel,
                                                   int count);
    // The budget pass.
    static Plan planForLevels(const std::vector<Level>& levels);

    // Renders through the renderer's vector data source; the run holds both.
    // Returns at once; the run takes a serial queue of its own. The blocks
    // run synchronously on callerQueue (the queue current at the call when
    // none is given), never on the run's queue.
    static void populateCacheOfRendererForBoundingBoxAndZoomlevelRange(
        const std::shared_ptr<CBGeoDisplayManager>& renderer,
        const std::shared_ptr<CBVectorDataSource>& source, const CBBoundingBox& box, int firstLevel,
        int count, ProgressBlock progress, CompletionBlock completion,
        std::shared_ptr<DispatchQueue> callerQueue = nullptr);

    // The pre-fill of a newly installed map store, drawn by a renderer of its
    // own: the store laid out as a map view of viewSize points on a screen of
    // screenScale would lay it out (the box its cities span), rendered from
    // max(10, minimum zoom + 1) up to 13; an update's old tiles are cleared
    // first. The store is taken from the table of open maps (a map being
    // shown is shared; an update's replaced files are opened anew) and held
    // until the run ends. Returns at once; false (nothing is called) when the
    // store cannot be opened or has no city to give its box.
    static bool populateCacheForInstalledStore(
        const std::string& storePath, bool isUpdate, CGSize viewSize, CGFloat screenScale,
        ProgressBlock progress, CompletionBlock completion,
        std::shared_ptr<DispatchQueue> callerQueue = nullptr);

    // A deleted map's rendered tiles under every style, with their rows in the
    // tile cache's index; the work goes on after the call returns.
    static void removeTilesOfDeletedStore(const std::string& storeId);

    // Clearing the renderer's disk cache; each then resets the collision
    // memory of the renderer's vector data sources.
    static void clearDiskCache(CBGeoDisplayManager& renderer);
    static void clearDiskCacheForStoreIdentifier(CBGeoDisplayManager& renderer,
                                                 const std::string& storeId);
    static void clearDiskCacheForStoreIdentifierSync(CBGeoDisplayManager& renderer,
                                                     const std::string& storeId);
    static void clearDiskCacheWithActivityAlertViewAndCompletionAlertView(
        CBGeoDisplayManager& renderer, const std::shared_ptr<UIAlertView>& activity,
        const std::shared_ptr<UIAlertView>& completion);
    // PNG instead of JPEG tiles, for the renderer and its disk cache.
    static void setCacheTransparentTileImages(CBGeoDisplayManager& renderer, bool transparent);

    // The reset counter the runs on a renderer share; a memory warning sets
    // it to the limit so the next tile position resets the context.
    static std::shared_ptr<std::atomic<int>> nextPrerenderResetCounter(
        const CBGeoDisplayManager& renderer);
};
