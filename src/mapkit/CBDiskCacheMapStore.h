#pragma once

#include <optional>
#include <string>

#include <memory>

#include "CoreData/NSManagedObject.h"
#include "CoreData/NSManagedObjectContext.h"

// A map store whose tiles the tile cache index holds ("mapstore").
class CBDiskCacheMapStore : public NSManagedObject {
  public:
    // An empty new row.
    static std::shared_ptr<CBDiskCacheMapStore> cacheMapStoreInContext(
        NSManagedObjectContext& context) {
        return std::dynamic_pointer_cast<CBDiskCacheMapStore>(
            context.insertNewObjectForEntityForName("mapstore"));
    }

    std::optional<std::string> storeId() { return stringForKey("storeId"); }
    void setStoreId(const std::string& storeId) { setValueForKey("storeId", Value(storeId)); }
};
