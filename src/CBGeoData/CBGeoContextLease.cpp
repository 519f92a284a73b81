#include "CBGeoData/CBGeoContextLease.h"

#include "CBGeoData/CBGeoDataManager.h"
#include "CBGeoData/CBGeoMapTile.h"
#include "Foundation/NSAssert.h"

CBGeoContextLease::CBGeoContextLease(std::shared_ptr<CBGeoDataManager> manager)
    : manager_(std::move(manager)) {
    if (manager_)
        context_ = manager_->lockedContextForCurrentThread();
    if (!context_)
        manager_.reset();
    thread_ = std::this_thread::get_id();
}

CBGeoContextLease::CBGeoContextLease(CBGeoContextLease&& other) noexcept
    : manager_(std::move(other.manager_)),
      context_(std::move(other.context_)),
      thread_(other.thread_) {}

CBGeoContextLease& CBGeoContextLease::operator=(CBGeoContextLease&& other) noexcept {
    if (this != &other) {
        release();
        manager_ = std::move(other.manager_);
        context_ = std::move(other.context_);
        thread_ = other.thread_;
    }
    return *this;
}

CBGeoContextLease::~CBGeoContextLease() {
    release();
}

void CBGeoContextLease::release() {
    if (!manager_)
        return;
    // The manager knows contexts by their thread: elsewhere this would let go
    // of another thread's context.
    NSAssert(std::this_thread::get_id() == thread_, "CBGeoData/CBGeoContextLease",
             "A context lease must end on the thread that took it");
    manager_->unlockContextForCurrentThread();
    manager_.reset();
    context_.reset();
}

std::optional<std::vector<std::shared_ptr<CBGeoMapTile>>> CBGeoContextLease::mapTilesForQuadKeys(
    const std::vector<int64_t>& quadKeys, bool refetch) const {
    if (!manager_)
        return std::nullopt;
    return manager_->mapTilesForQuadKeysIsRefetch(quadKeys, refetch);
}

std::optional<std::vector<CBGeoElementAnchor>> CBGeoContextLease::elementAnchorsForQuadKeys(
    const std::vector<int64_t>& quadKeys) const {
    if (!manager_)
        return std::nullopt;
    return manager_->elementAnchorsForQuadKeys(quadKeys);
}
