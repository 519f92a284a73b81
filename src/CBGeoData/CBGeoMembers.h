#pragma once

#include <memory>
#include <vector>

#include "CoreData/NSManagedObject.h"

// The members of the owner's to-many relationship `key` that are of class T.
template <class T>
std::vector<std::shared_ptr<T>> membersOf(NSManagedObject& owner, const char* key) {
    std::vector<std::shared_ptr<T>> result;
    for (const auto& member : owner.objectsForKey(key)) {
        if (auto typed = std::dynamic_pointer_cast<T>(member))
            result.push_back(typed);
    }
    return result;
}
