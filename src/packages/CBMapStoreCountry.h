#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CBGeoData/CBBoundingBox.h"
#include "CoreData/NSManagedObject.h"

class CBMapStoreFederalRegion;
class CBMapStoreMap;

// A country of the catalogue ("country"), keyed by its ISO 3166-1 alpha-2
// code; its name is the code looked up in the string table "countrycodes",
// else the name the catalogue stores.
class CBMapStoreCountry : public NSManagedObject {
  public:
    static constexpr const char* kEntityName = "country";

    std::optional<std::string> countryCode() { return stringForKey("countryCode"); }
    std::string localName();
    std::vector<std::shared_ptr<CBMapStoreMap>> maps();
    std::vector<std::shared_ptr<CBMapStoreFederalRegion>> regions();
    std::shared_ptr<CBBoundingBox> bbox();
};
