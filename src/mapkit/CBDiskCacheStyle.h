#pragma once

#include <optional>
#include <string>

#include <memory>

#include "CoreData/NSManagedObject.h"
#include "CoreData/NSManagedObjectContext.h"

// A map style whose tiles the tile cache index holds ("style").
class CBDiskCacheStyle : public NSManagedObject {
  public:
    // An empty new row.
    static std::shared_ptr<CBDiskCacheStyle> cacheStyleInContext(NSManagedObjectContext& context) {
        return std::dynamic_pointer_cast<CBDiskCacheStyle>(
            context.insertNewObjectForEntityForName("style"));
    }

    std::optional<std::string> styleId() { return stringForKey("styleId"); }
    void setStyleId(const std::string& styleId) { setValueForKey("styleId", Value(styleId)); }
};
