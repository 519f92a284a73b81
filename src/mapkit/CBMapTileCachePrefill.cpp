#include "mapkit/CBMapTileCachePrefill.h"

#include <cmath>
#include <map>
#include <mutex>

#include "CBGeoData/CBBoundingBox.h"
#include "CBGeoData/CBGeoDataManager.h"
#include "Dispatch/DispatchQueue.h"
#include "Foundation/NSNotificationCenter.h"
#include "UIKit/UIApplication.h"
#include "mapkit/CBDiskTileCache.h"
#include "mapkit/CBGeoDisplayManager.h"
#include "mapkit/CBMapProjection.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBVectorDataSource.h"

namespace {

constexpr int kInstalledMapFirstLevel = 10;
constexpr int kInstalledMapLastLevel = 13;

std::shared_ptr<CBDiskTileCache> diskCacheOf(CBMapScrollView& map) {
    auto display = map.displayManager();
    return display ? display->diskCache() : nullptr;
}

void resetCollisionMemory(CBMapScrollView& map) {
    if (auto source = map.vectorDataSourceLayer())
        source->resetCollisionDetectionMemory();
}

// The pre-fill thread's own context is the one its rendering fills, so that
// is the one reset (the main context belongs to the main thread).
void resetThreadContext(CBMapScrollView& map) {
    auto data = map.dataManager();
    if (!data)
        return;
    if (auto context = data->lockedContextForCurrentThread())
        context->reset();
    data->unlockContextForCurrentThread();
}

}  // namespace

std::shared_ptr<std::atomic<int>> CBMapTileCachePrefill::nextPrerenderResetCounter(
    const CBMapScrollView& map) {
    static std::mutex mutex;
    static std::map<const CBMapScrollView*, std::weak_ptr<std::atomic<int>>> counters;
    std::lock_guard lock(mutex);
    for (auto entry = counters.begin(); entry != counters.end();) {
        if (entry->second.expired())
            entry = counters.erase(entry);
        else
            ++entry;
    }
    if (auto counter = counters[&map].lock())
        return counter;
    auto counter = std::make_shared<std::atomic<int>>(0);
    counters[&map] = counter;
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
    PrefillRun(std::shared_ptr<CBMapScrollView> map, CBMapTileCachePrefill::Plan plan,
               CBMapTileCachePrefill::ProgressBlock progress,
               CBMapTileCachePrefill::CompletionBlock completion,
               std::shared_ptr<DispatchQueue> callerQueue)
        : map_(std::move(map)),
          plan_(std::move(plan)),
          progress_(std::move(progress)),
          completion_(std::move(completion)),
          callerQueue_(std::move(callerQueue)),
          counter_(CBMapTileCachePrefill::nextPrerenderResetCounter(*map_)) {}

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

    // Counts a tile position, resetting the thread's context every 16th.
    void countPosition() {
        if (*counter_ < CBMapTileCachePrefill::kContextResetCounterLimit) {
            ++*counter_;
        } else {
            resetThreadContext(*map_);
            *counter_ = 0;
        }
    }

    void run() {
        auto source = map_->vectorDataSourceLayer();
        auto data = map_->dataManager();
        *counter_ = 0;
        bool stop = false;
        bool started = false;
        long count = 0;
        const float total = float(plan_.total);
        for (const auto& level : plan_.levels) {
            if (!source)
                break;
            const long levelTiles = level.tileCount();
            if (!started && source->cachedTileAvailableForXYZ(level.right, level.bottom, level.z)) {
                count += levelTiles;
                continue;
            }
            for (int y = level.top; y <= level.bottom && !stop; ++y) {
                if (!started && source->cachedTileAvailableForXYZ(level.right, y, level.z)) {
                    count += level.right - level.left + 1;
                    continue;
                }
                const float parity = std::fmod(float(y), 2.0f);
                for (int x = level.left; x <= level.right; ++x) {
                    started = true;
                    if (level.z < plan_.cut || std::fmod(float(x), 2.0f) == parity) {
                        source->prerenderXYZ(x, y, level.z);
                        if (data)
                            data->unlockContextForCurrentThread();
                        ++count;
                        stop = report(total > 0 ? float(count) / total : 1.0f, false);
                    }
                    countPosition();
                    if (stop)
                        break;
                }
            }
            source->resetCollisionDetectionMemory();
            if (stop)
                break;
        }
        if (stop)
            report(total > 0 ? float(count) / total : 1.0f, true);
        else
            report(1.0f, true);
        NSNotificationCenter::defaultCenter()->removeObserver(memoryWarnings_);
        if (completion_)
            callerQueue_->sync([this] { completion_(); });
    }

    std::shared_ptr<CBMapScrollView> map_;
    CBMapTileCachePrefill::Plan plan_;
    CBMapTileCachePrefill::ProgressBlock progress_;
    CBMapTileCachePrefill::CompletionBlock completion_;
    std::shared_ptr<DispatchQueue> callerQueue_;
    std::shared_ptr<std::atomic<int>> counter_;
    std::shared_ptr<NSNotificationObserver> memoryWarnings_;
};

}  // namespace

void CBMapTileCachePrefill::
    populateCacheForBoundingBoxAndZoomlevelRangeWithProgressBlockAndCompletionBlock(
        const std::shared_ptr<CBMapScrollView>& map, const CBBoundingBox& box, int firstLevel,
        int count, ProgressBlock progress, CompletionBlock completion,
        std::shared_ptr<DispatchQueue> callerQueue) {
    if (!callerQueue)
        callerQueue = DispatchQueue::current();
    if (!map || !callerQueue)
        return;
    auto projection = map->mapProjection();
    Plan plan;
    if (projection)
        plan = planForLevels(levelsForBoundingBox(*projection, box, firstLevel, count));
    std::make_shared<PrefillRun>(map, std::move(plan), std::move(progress), std::move(completion),
                                 std::move(callerQueue))
        ->start();
}

void CBMapTileCachePrefill::populateCacheForInstalledMap(
    const std::shared_ptr<CBMapScrollView>& map, ProgressBlock progress, CompletionBlock completion,
    std::shared_ptr<DispatchQueue> callerQueue) {
    auto box = map ? map->mapBoundingBox() : nullptr;
    if (!box)
        return;
    const int minimum = map->minimumZoomLevel();
    const int first = minimum >= kInstalledMapFirstLevel ? minimum + 1 : kInstalledMapFirstLevel;
    const int count = std::max(0, kInstalledMapLastLevel - first) + 1;
    populateCacheForBoundingBoxAndZoomlevelRangeWithProgressBlockAndCompletionBlock(
        map, *box, first, count, std::move(progress), std::move(completion),
        std::move(callerQueue));
}

void CBMapTileCachePrefill::clearDiskCache(CBMapScrollView& map) {
    if (auto cache = diskCacheOf(map))
        cache->removeAllTilesWithAlert(true);
    resetCollisionMemory(map);
}

void CBMapTileCachePrefill::clearDiskCacheForStoreIdentifier(CBMapScrollView& map,
                                                             const std::string& storeId) {
    if (auto cache = diskCacheOf(map))
        cache->clearCacheForStoreIdentifier(storeId);
    resetCollisionMemory(map);
}

void CBMapTileCachePrefill::clearDiskCacheForStoreIdentifierSync(CBMapScrollView& map,
                                                                 const std::string& storeId) {
    if (auto cache = diskCacheOf(map))
        cache->clearCacheForStoreIdentifierSync(storeId);
    resetCollisionMemory(map);
}

void CBMapTileCachePrefill::clearDiskCacheWithActivityAlertViewAndCompletionAlertView(
    CBMapScrollView& map, const std::shared_ptr<UIAlertView>& activity,
    const std::shared_ptr<UIAlertView>& completion) {
    if (auto cache = diskCacheOf(map))
        cache->removeAllTilesWithProgressAlertViewAndCompletionAlertView(activity, completion);
    resetCollisionMemory(map);
}

void CBMapTileCachePrefill::setCacheTransparentTileImages(CBMapScrollView& map, bool transparent) {
    map.setCacheTransparentTileImages(transparent);
    if (auto cache = diskCacheOf(map))
        cache->setTransparentTileImages(transparent);
}
