#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CoreData/NSManagedObject.h"

class CBMapStoreCountry;
class CBMapStoreMap;

// A federal region of the catalogue ("region"), keyed by its ISO 3166-2
// code ("US-MI"); its maps' packages lie under that code on the server.
class CBMapStoreFederalRegion : public NSManagedObject {
  public:
    static constexpr const char* kEntityName = "region";

    std::optional<std::string> regionCode() { return stringForKey("regionCode"); }
    std::string localName();
    std::vector<std::shared_ptr<CBMapStoreMap>> maps();
    std::shared_ptr<CBMapStoreCountry> country();
};
