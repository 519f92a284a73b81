#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "CoreData/NSManagedObject.h"

class NSManagedObjectContext;
class CBGeoElement;

// The elements that touch one quad-key tile: how the renderer finds what to
// draw. A tile with a fill type lies inside an area of that type.
class CBGeoMapTile : public NSManagedObject {
  public:
    static constexpr const char* kEntityName = "maptile";

    static std::shared_ptr<CBGeoMapTile> mapTileWithQuadKeyNumberInContext(
        int64_t quadKey, const std::shared_ptr<NSManagedObjectContext>& context);

    std::optional<int64_t> quadKey() { return integerForKey("quadKey"); }
    std::optional<int64_t> fillTypeID() { return integerForKey("fillTypeID"); }
    std::vector<std::shared_ptr<CBGeoElement>> elements();
    // Whether the fill is all the tile draws: it has a fill type and lists
    // no element but areas of that type (the area it lies in). A tile with a
    // fill and other elements is filled and then draws them.
    bool isFillOnly();
    // Digits of the quad key minus one; 0 without a key.
    int zoomlevel();
};
