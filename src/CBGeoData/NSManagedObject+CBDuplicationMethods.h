#pragma once

#include <memory>

#include "CoreData/NSManagedObject.h"
#include "CoreData/NSManagedObjectContext.h"

// Inserts a new object of the receiver's entity into `context` and copies
// every attribute by key; relationships are not copied. nullptr when the
// context's model lacks the entity.
std::shared_ptr<NSManagedObject> duplicateToManagedContext(
    NSManagedObject& object, const std::shared_ptr<NSManagedObjectContext>& context);
