#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <vector>

#include "CoreData/NSManagedObjectID.h"
#include "CoreLocation/CLLocationCoordinate2D.h"

// Where the elements of each map tile put an icon or a label: their object
// IDs and anchor coordinates, per quad key. A tile that draws the labels
// reaching in from the tiles around it finds them here instead of loading
// those tiles' elements each time. Shared by the tile threads; emptied when
// full and whenever the map changes.
class CBOverlayAnchorCache {
  public:
    struct Anchor {
        NSManagedObjectID objectID;
        CLLocationCoordinate2D coordinate;
    };

    std::optional<std::vector<Anchor>> anchorsForQuadKey(int64_t quadKey);
    void setAnchorsForQuadKey(int64_t quadKey, std::vector<Anchor> anchors);
    void removeAll();

  private:
    static constexpr size_t kCapacity = 4096;

    std::mutex mutex_;
    std::unordered_map<int64_t, std::vector<Anchor>> anchors_;
};
