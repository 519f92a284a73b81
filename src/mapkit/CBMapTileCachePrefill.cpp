#include "mapkit/CBMapTileCachePrefill.h"

#include <cmath>
#include <map>
#include <mutex>

#include "CBGeoData/CBBoundingBox.h"
#include "CBGeoData/CBGeoDataManager.h"
#include "CBGeoData/CBGeoObject.h"
#include "CoreData/NSManagedObjectContext.h"
#include "Dispatch/DispatchQueue.h"
#include "Foundation/NSLog.h"
#include "Foundation/NSNotificationCenter.h"
#include "UIKit/UIApplication.h"
#include "mapkit/CBDiskTileCache.h"
#include "mapkit/CBGeoDisplayManager.h"
#include "mapkit/CBMapGridLayout.h"
#include "mapkit/CBMapProjection.h"
#include "mapkit/CBMapProjector.h"
#include "mapkit/CBMapStoreCities.h"
#include "mapkit/CBMapWebMercatorProjection.h"
#include "mapkit/CBOpenMap.h"
#include "mapkit/CBVectorDataSource.h"

namespace {

constexpr int kInstalledMapFirstLevel = 10;
constexpr int kInstalledMapLastLevel = 13;
// A map view's deepest level and a tile's side in points at one pixel per point.
constexpr int kMaximumZoomLevel = 18;
constexpr CGFloat kTilePoints = 256;

void resetCollisionMemory(CBGeoDisplayManager& renderer) {
    for (const auto& source : renderer.dataSources())
        if (auto vector = std::dynamic_pointer_cast<CBVectorDataSource>(source))
            vector->resetCollisionDetectionMemory();
}

// The pre-fill thread's own context is the one its rendering fills, so that
// is the one reset (the main context belongs to the main thread).
void resetThreadContext(CBGeoDisplayManager& renderer) {
    auto data = renderer.geoDataManager();
    if (!data)
        return;
    if (auto lease = data->leaseContextForCurrentThread())
        lease.context()->reset();
}

}  // namespace

std::shared_ptr<std::atomic<int>> CBMapTileCachePrefill::nextPrerenderResetCounter(
    const CBGeoDisplayManager& renderer) {
    static std::mutex mutex;
    static std::map<const CBGeoDisplayManager*, std::weak_ptr<std::atomic<int>>> counters;
    std::lock_guard lock(mutex);
    for (auto entry = counters.begin(); entry != counters.end();) {
        if (entry->second.expired())
            entry = counters.erase(entry);
        else
            ++entry;
    }
    if (auto counter = counters[&renderer].lock())
        return counter;
    auto counter = std::make_shared<std::atomic<int>>(0);
    counters[&renderer] = counter;
    return counter;
}

std::vector<CBMapTileCachePrefill::Level> CBMapTileCachePrefill::levelsForBoundingBox(
    const CBMapProjection& projection, const CBBoundingBox& box, int firstLevel, int count) {
    std::vector<Level> levels;
    for (int z = firstLevel; z < firstLevel + count; ++z) {
        Level level;
        level.z = z;
        level.top = projection.tileyForCoordinateAndZoom(box.NE(), z);
        level.left = projection.tilexForCoordinateAndZoom(box.SW(), z);
        level.bottom = projection.tileyForCoordinateAndZoom(box.SW(), z);
        level.right = projection.tilexForCoordinateAndZoom(box.NE(), z);
        levels.push_back(level);
    }
    return levels;
}

CBMapTileCachePrefill::Plan CBMapTileCachePrefill::planForLevels(const std::vector<Level>& levels) {
    Plan plan;
    for (const Level& level : levels) {
        long n = level.tileCount();
        if (level.z <= plan.cut && plan.total + n > kCutThreshold)
            plan.cut = level.z;
        if (level.z >= plan.cut)
            n = long(std::ceil(double(n) * 0.5));
        if (plan.total + n > kBudget)
            break;
        plan.total += n;
        plan.levels.push_back(level);
    }
    return plan;
}

namespace {

// One run on its own queue.
class PrefillRun : public std::enable_shared_from_this<PrefillRun> {
  public:
    PrefillRun(std::shared_ptr<CBGeoDisplayManager> renderer,
               std::shared_ptr<CBVectorDataSource> source, std::shared_ptr<CBOpenMap> map,
               CBMapTileCachePrefill::Plan plan, CBMapTileCachePrefill::ProgressBlock progress,
               CBMapTileCachePrefill::CompletionBlock completion,
               std::shared_ptr<DispatchQueue> callerQueue)
        : renderer_(std::move(renderer)),
          source_(std::move(source)),
          map_(std::move(map)),
          plan_(std::move(plan)),
          progress_(std::move(progress)),
          completion_(std::move(completion)),
          callerQueue_(std::move(callerQueue)),
          counter_(CBMapTileCachePrefill::nextPrerenderResetCounter(*renderer_)) {}

    void start() {
        auto counter = counter_;
        memoryWarnings_ = NSNotificationCenter::defaultCenter()->addObserverForName(
            UIApplicationDidReceiveMemoryWarningNotification, nullptr, {},
            [counter](const NSNotification&) {
                *counter = CBMapTileCachePrefill::kContextResetCounterLimit;
            });
        auto queue = DispatchQueue::createSerial("com.zoruzuvu.populateCacheForBoundingBox");
        auto self = shared_from_this();
        queue->async([self] { self->run(); });
    }

  private:
    bool report(float progress, bool finished) {
        bool stop = false;
        if (progress_)
            callerQueue_->sync([&] { stop = progress_(progress, finished); });
        return stop;
    }

    bool mapClosed() const { return map_ && map_->isClosed(); }

    // Renders a tile into the cache while the map is open; false once it
    // closed, when nothing more is written.
    bool renderTile(int x, int y, int z) {
        auto render = [&] { source_->prerenderXYZ(x, y, z); };
        if (!map_) {
            render();
            return true;
        }
        return map_->performWhileOpen(render);
    }

    // Counts a tile position, resetting the thread's context every 16th.
    void countPosition() {
        if (*counter_ < CBMapTileCachePrefill::kContextResetCounterLimit) {
            ++*counter_;
        } else {
            resetThreadContext(*renderer_);
            *counter_ = 0;
        }
    }

    void run() {
        *counter_ = 0;
        bool stop = false;
        bool started = false;
        long count = 0;
        const float total = float(plan_.total);
        for (const auto& level : plan_.levels) {
            if (!source_)
                break;
            if (mapClosed()) {
                stop = true;
                break;
            }
            const long levelTiles = level.tileCount();
            if (!started &&
                source_->cachedTileAvailableForXYZ(level.right, level.bottom, level.z)) {
                count += levelTiles;
                continue;
            }
            for (int y = level.top; y <= level.bottom && !stop; ++y) {
                if (!started && source_->cachedTileAvailableForXYZ(level.right, y, level.z)) {
                    count += level.right - level.left + 1;
                    continue;
                }
                const float parity = std::fmod(float(y), 2.0f);
                for (int x = level.left; x <= level.right; ++x) {
                    started = true;
                    if (level.z < plan_.cut || std::fmod(float(x), 2.0f) == parity) {
                        if (!renderTile(x, y, level.z)) {
                            stop = true;
                            break;
                        }
                        ++count;
                        stop = report(total > 0 ? float(count) / total : 1.0f, false);
                    }
                    countPosition();
                    // The program's end and the map's close stop the pre-fill
                    // between tiles.
                    stop = stop || DispatchQueue::isEnding() || mapClosed();
                    if (stop)
                        break;
                }
            }
            source_->resetCollisionDetectionMemory();
            if (stop)
                break;
        }
        NSNotificationCenter::defaultCenter()->removeObserver(memoryWarnings_);
        if (DispatchQueue::isEnding())
            return;
        if (mapClosed()) {
            stop = true;
            NSLogWithLevel(NSLogLevel::Info,
                           "CBMapTileCachePrefill: the map %s closed; %ld of %.0f tiles drawn",
                           map_->identifier().c_str(), count, total);
        }
        if (stop)
            report(total > 0 ? float(count) / total : 1.0f, true);
        else
            report(1.0f, true);
        if (completion_)
            callerQueue_->sync([this] { completion_(); });
    }

    std::shared_ptr<CBGeoDisplayManager> renderer_;
    std::shared_ptr<CBVectorDataSource> source_;
    // The open map drawn, held until the run ends; nullptr for a renderer
    // over stores of its own.
    std::shared_ptr<CBOpenMap> map_;
    CBMapTileCachePrefill::Plan plan_;
    CBMapTileCachePrefill::ProgressBlock progress_;
    CBMapTileCachePrefill::CompletionBlock completion_;
    std::shared_ptr<DispatchQueue> callerQueue_;
    std::shared_ptr<std::atomic<int>> counter_;
    std::shared_ptr<NSNotificationObserver> memoryWarnings_;
};

void startRun(const std::shared_ptr<CBGeoDisplayManager>& renderer,
              const std::shared_ptr<CBVectorDataSource>& source, std::shared_ptr<CBOpenMap> map,
              const CBBoundingBox& box, int firstLevel, int count,
              CBMapTileCachePrefill::ProgressBlock progress,
              CBMapTileCachePrefill::CompletionBlock completion,
              std::shared_ptr<DispatchQueue> callerQueue) {
    if (!callerQueue)
        callerQueue = DispatchQueue::current();
    if (!renderer || !callerQueue)
        return;
    auto laidOut = renderer->projector();
    CBMapTileCachePrefill::Plan plan;
    if (laidOut && laidOut->projection())
        plan = CBMapTileCachePrefill::planForLevels(CBMapTileCachePrefill::levelsForBoundingBox(
            *laidOut->projection(), box, firstLevel, count));
    std::make_shared<PrefillRun>(renderer, source, std::move(map), std::move(plan),
                                 std::move(progress), std::move(completion), std::move(callerQueue))
        ->start();
}

}  // namespace

void CBMapTileCachePrefill::populateCacheOfRendererForBoundingBoxAndZoomlevelRange(
    const std::shared_ptr<CBGeoDisplayManager>& renderer,
    const std::shared_ptr<CBVectorDataSource>& source, const CBBoundingBox& box, int firstLevel,
    int count, ProgressBlock progress, CompletionBlock completion,
    std::shared_ptr<DispatchQueue> callerQueue) {
    // A renderer of a shown map draws the table's open map: the run ends
    // when that closes.
    std::shared_ptr<CBOpenMap> map;
    if (renderer) {
        map = CBOpenMap::openMapWithIdentifier(renderer->storeIdentifier());
        if (map && map->dataManager() != renderer->geoDataManager())
            map.reset();
    }
    startRun(renderer, source, std::move(map), box, firstLevel, count, std::move(progress),
             std::move(completion), std::move(callerQueue));
}

bool CBMapTileCachePrefill::populateCacheForInstalledStore(
    const std::string& storePath, bool isUpdate, CGSize viewSize, CGFloat screenScale,
    ProgressBlock progress, CompletionBlock completion,
    std::shared_ptr<DispatchQueue> callerQueue) {
    NSError error;
    auto map = CBOpenMap::openStorePath(storePath, &error);
    if (!map) {
        NSLogWithLevel(NSLogLevel::Error, "CBMapTileCachePrefill: %s",
                       error.localizedDescription().c_str());
        return false;
    }
    const std::string& identifier = map->identifier();
    const CBMapStoreCities& cities = map->cities();
    if (!cities.boundingBox) {
        NSLogWithLevel(NSLogLevel::Error, "CBMapTileCachePrefill: no city gives %s its box",
                       storePath.c_str());
        return false;
    }
    // The labels of the new map's tiles abbreviate street names as its
    // country does, as they would when the map is opened.
    CBGeoObject::setCurrentCountryForShortenedNamesWithCountryCode(cities.countryCode);

    auto renderer = std::make_shared<CBGeoDisplayManager>(screenScale);
    renderer->setGeoDataManager(map->dataManager());
    renderer->setStoreIdentifier(identifier);
    const CGFloat pixelsPerPoint = screenScale > 0 ? screenScale : 1;
    const CBMapGridLayout layout = CBMapGridLayout::layoutForBoundingBox(
        *cities.boundingBox, std::make_shared<CBMapWebMercatorProjection>(), kMaximumZoomLevel,
        kTilePoints * pixelsPerPoint, viewSize, screenScale);
    renderer->setProjector(layout.projector);
    auto source = std::make_shared<CBVectorDataSource>(renderer);
    renderer->addDatasource(source);
    // An update's tiles are cached under the same identifier as the old map's.
    if (auto cache = renderer->diskCache(); cache && isUpdate) {
        cache->clearCacheForStoreIdentifierSync(identifier);
        cache->useVersionForStoreIdentifier(identifier, map->version());
    }

    const int minimum = layout.minimumZoomLevel;
    const int first = minimum >= kInstalledMapFirstLevel ? minimum + 1 : kInstalledMapFirstLevel;
    const int count = std::max(0, kInstalledMapLastLevel - first) + 1;
    startRun(renderer, source, map, *cities.boundingBox, first, count, std::move(progress),
             std::move(completion), std::move(callerQueue));
    return true;
}

void CBMapTileCachePrefill::clearDiskCache(CBGeoDisplayManager& renderer) {
    if (auto cache = renderer.diskCache())
        cache->removeAllTilesWithAlert(true);
    resetCollisionMemory(renderer);
}

void CBMapTileCachePrefill::clearDiskCacheForStoreIdentifier(CBGeoDisplayManager& renderer,
                                                             const std::string& storeId) {
    if (auto cache = renderer.diskCache())
        cache->clearCacheForStoreIdentifier(storeId);
    resetCollisionMemory(renderer);
}

void CBMapTileCachePrefill::removeTilesOfDeletedStore(const std::string& storeId) {
    // The cache keeps itself alive until both the files and the index are done.
    auto tiles = CBDiskTileCache::sharedCache();
    tiles->clearCacheForStoreIdentifier(storeId);
    tiles->saveChangesIfNeeded();
}

void CBMapTileCachePrefill::clearDiskCacheForStoreIdentifierSync(CBGeoDisplayManager& renderer,
                                                                 const std::string& storeId) {
    if (auto cache = renderer.diskCache())
        cache->clearCacheForStoreIdentifierSync(storeId);
    resetCollisionMemory(renderer);
}

void CBMapTileCachePrefill::clearDiskCacheWithActivityAlertViewAndCompletionAlertView(
    CBGeoDisplayManager& renderer, const std::shared_ptr<UIAlertView>& activity,
    const std::shared_ptr<UIAlertView>& completion) {
    if (auto cache = renderer.diskCache())
        cache->removeAllTilesWithProgressAlertViewAndCompletionAlertView(activity, completion);
    resetCollisionMemory(renderer);
}

void CBMapTileCachePrefill::setCacheTransparentTileImages(CBGeoDisplayManager& renderer,
                                                          bool transparent) {
    renderer.setCacheTransparentTileImages(transparent);
    if (auto cache = renderer.diskCache())
        cache->setTransparentTileImages(transparent);
}
