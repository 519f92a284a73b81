#pragma once

#include <memory>

#include "CoreData/NSManagedObjectContext.h"

// One thread's context in the geo data manager's table. The flags change
// only under the manager's lock.
class ZELManagedObjectContextWrapper {
  public:
    explicit ZELManagedObjectContextWrapper(std::shared_ptr<NSManagedObjectContext> context)
        : managedObjectContext(std::move(context)) {}

    const std::shared_ptr<NSManagedObjectContext> managedObjectContext;
    bool safeToReset = false;     // the thread is not using the context now
    bool scheduledReset = false;  // drop the context when the thread lets go of it
};
