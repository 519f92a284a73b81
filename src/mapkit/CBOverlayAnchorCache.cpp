#include "mapkit/CBOverlayAnchorCache.h"

std::optional<std::vector<CBOverlayAnchorCache::Anchor>> CBOverlayAnchorCache::anchorsForQuadKey(
    int64_t quadKey) {
    std::lock_guard lock(mutex_);
    auto found = anchors_.find(quadKey);
    if (found == anchors_.end())
        return std::nullopt;
    return found->second;
}

void CBOverlayAnchorCache::setAnchorsForQuadKey(int64_t quadKey, std::vector<Anchor> anchors) {
    std::lock_guard lock(mutex_);
    if (anchors_.size() >= kCapacity)
        anchors_.clear();
    anchors_[quadKey] = std::move(anchors);
}

void CBOverlayAnchorCache::removeAll() {
    std::lock_guard lock(mutex_);
    anchors_.clear();
}
