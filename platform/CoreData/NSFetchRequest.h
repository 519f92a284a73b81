#pragma once

#include <memory>
#include <string>
#include <vector>

#include "CoreData/NSPredicate.h"
#include "CoreData/NSSortDescriptor.h"

class NSPersistentStore;

// What to fetch: an entity, a predicate, an order and a window. The context's
// executeFetchRequest... methods choose the result form (objects, object IDs,
// dictionaries, count).
class NSFetchRequest {
  public:
    NSFetchRequest() = default;
    explicit NSFetchRequest(std::string entityName) : entityName(std::move(entityName)) {}
    static std::shared_ptr<NSFetchRequest> fetchRequestWithEntityName(std::string entityName) {
        return std::make_shared<NSFetchRequest>(std::move(entityName));
    }

    std::string entityName;
    std::shared_ptr<NSPredicate> predicate;
    std::vector<NSSortDescriptor> sortDescriptors;
    size_t fetchLimit = 0;  // 0: no limit
    size_t fetchOffset = 0;
    // Above 0: rows are read as faults and filled this many at a time, when
    // the first of a batch is touched.
    size_t fetchBatchSize = 0;
    bool includesSubentities = true;
    bool includesPropertyValues = true;
    bool includesPendingChanges = true;
    // To-one and to-many relationship key paths ("elements", "city.tags")
    // whose destinations are read along, one query per step.
    std::vector<std::string> relationshipKeyPathsForPrefetching;
    // Dictionary results: the attribute names to read (all attributes when empty).
    std::vector<std::string> propertiesToFetch;
    // Empty: every store of the coordinator that holds the entity.
    std::vector<std::shared_ptr<NSPersistentStore>> affectedStores;
};
