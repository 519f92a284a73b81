#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CoreData/NSManagedObject.h"

class CBGeoObject;
class NSManagedObjectContext;

// A named list of objects.
class CBGeoGroup : public NSManagedObject {
  public:
    static constexpr const char* kEntityName = "group";

    static std::shared_ptr<CBGeoGroup> groupWithNameAndSubtitleInContext(
        const std::optional<std::string>& name, const std::optional<std::string>& subtitle,
        const std::shared_ptr<NSManagedObjectContext>& context);

    std::optional<std::string> name() { return stringForKey("name"); }
    std::optional<std::string> subtitle() { return stringForKey("subtitle"); }
    std::optional<int64_t> order() { return integerForKey("order"); }
    std::vector<std::shared_ptr<CBGeoObject>> objects();
    void addObject(const std::shared_ptr<NSManagedObject>& object) {
        addObjectForKey("objects", object);
    }
    // Deletes every object of the group with its elements and its unshared
    // tags, addresses and nodes; the group stays.
    void deleteContainedObjects();
};
