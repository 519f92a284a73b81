#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "CoreLocation/CLLocationCoordinate2D.h"

class CBGeoSearchResult;

// What finds a place of the map data again in other files of the same map
// (an update of its package, a bookmark store): its kind, its canonical name
// and where it stands, and the house number it was found at. Values only, so
// it outlives the store it was read from.
struct CBGeoPlaceKey {
    std::optional<int64_t> typeID;
    std::optional<std::string> canonicalName;
    // The object's own position (an address may stand elsewhere).
    CLLocationCoordinate2D coordinate{0, 0};
    // Found at one of its addresses: the same house number is wanted.
    bool atAddress = false;
    std::optional<std::string> houseNumber;
    // A street found at an address is looked for among the streets with
    // that house number.
    bool isStreet = false;

    // nullopt for a result without an object.
    static std::optional<CBGeoPlaceKey> ofResult(const CBGeoSearchResult& result);

    bool operator==(const CBGeoPlaceKey&) const = default;
};
