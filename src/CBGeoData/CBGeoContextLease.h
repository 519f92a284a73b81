#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "CBGeoData/CBGeoElementAnchor.h"

class CBGeoDataManager;
class CBGeoMapTile;
class NSManagedObjectContext;

// The calling thread's context of a geo data manager, held in use for as
// long as the lease lives: what is fetched through the lease stays valid, a
// memory warning leaves the context alone meanwhile, and the end of the
// lease lets go of it. A lease belongs to the thread that took it and must
// end there; it can be moved, not copied.
class CBGeoContextLease {
  public:
    // Holds nothing.
    CBGeoContextLease() = default;
    // Takes the thread's context; holds nothing while no store is open.
    explicit CBGeoContextLease(std::shared_ptr<CBGeoDataManager> manager);
    CBGeoContextLease(CBGeoContextLease&& other) noexcept;
    CBGeoContextLease& operator=(CBGeoContextLease&& other) noexcept;
    CBGeoContextLease(const CBGeoContextLease&) = delete;
    CBGeoContextLease& operator=(const CBGeoContextLease&) = delete;
    ~CBGeoContextLease();

    const std::shared_ptr<NSManagedObjectContext>& context() const { return context_; }
    explicit operator bool() const { return context_ != nullptr; }

    // The map tiles stored under the keys, in the leased context; a refetch
    // skips the prefetch of their elements. nullopt when none is stored, on
    // a failed fetch and for an empty lease.
    std::optional<std::vector<std::shared_ptr<CBGeoMapTile>>> mapTilesForQuadKeys(
        const std::vector<int64_t>& quadKeys, bool refetch = false) const;
    // The anchored elements of the tiles (CBGeoDataManager::elementAnchorsForQuadKeys).
    std::optional<std::vector<CBGeoElementAnchor>> elementAnchorsForQuadKeys(
        const std::vector<int64_t>& quadKeys) const;

    // Ends the lease before it goes.
    void release();

  private:
    std::shared_ptr<CBGeoDataManager> manager_;
    std::shared_ptr<NSManagedObjectContext> context_;
    std::thread::id thread_;
};
