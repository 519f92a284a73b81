#pragma once

#include <array>
#include <cstdint>

#include "CoreData/NSManagedObjectID.h"
#include "CoreLocation/CLLocationCoordinate2D.h"

// What the map needs of an element with a point of its own to decide whether
// a neighbouring tile borrows its icon or label: the tile it belongs to, its
// ID, its anchor, whether it is named, and its style codes (type, highway,
// bike, railway, in that order, the ones set).
struct CBGeoElementAnchor {
    int64_t quadKey = 0;
    NSManagedObjectID objectID;
    CLLocationCoordinate2D coordinate{};
    bool named = false;
    std::array<int64_t, 4> styleIds{};
    uint8_t styleIdCount = 0;
};
