#pragma once

#include <memory>
#include <optional>
#include <string>

class CBBoundingBox;
class CBGeoDataManager;

// What the cities of a map's open stores tell of the map: the box they span
// together (the map's box when whoever opens it gives none) and the country
// of the last one, whose street-name abbreviations the map's labels use.
struct CBMapStoreCities {
    std::shared_ptr<CBBoundingBox> boundingBox;  // nullptr: no city has a box
    std::optional<std::string> countryCode;

    // Read in the manager's main context; nothing for a failed fetch.
    static CBMapStoreCities citiesOfDataManager(CBGeoDataManager& data);
};
