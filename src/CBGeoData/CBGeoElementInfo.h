#pragma once

#include <memory>
#include <optional>
#include <string>

#include "CoreData/NSManagedObject.h"

class CBGeoElement;
class CBGeoRelation;

// The membership of an element in a relation: its role and its position.
class CBGeoElementInfo : public NSManagedObject {
  public:
    static constexpr const char* kEntityName = "elementInfo";

    std::optional<int64_t> order() { return integerForKey("order"); }
    std::optional<std::string> role() { return stringForKey("role"); }
    std::shared_ptr<CBGeoElement> element();
    std::shared_ptr<CBGeoRelation> relation();
};
