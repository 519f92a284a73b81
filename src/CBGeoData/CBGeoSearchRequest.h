#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CoreData/NSPredicate.h"

// A search text taken apart: the predicate its name words must satisfy and
// the house numbers it names.
class CBGeoSearchRequest {
  public:
    std::string searchString;
    std::shared_ptr<NSPredicate> searchPredicate;
    std::optional<std::vector<std::string>> arrayOfHouseNumbers;  // nullopt: none
    bool houseNumberOnly = false;
};
