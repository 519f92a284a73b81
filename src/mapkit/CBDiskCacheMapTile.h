#pragma once

#include <memory>
#include <optional>
#include <string>

#include "CoreData/NSManagedObject.h"
#include "CoreData/NSManagedObjectContext.h"

// One cached tile file in the tile cache index ("maptile").
class CBDiskCacheMapTile : public NSManagedObject {
  public:
    // cacheMapTileInContext: a new row used now; ...WithoutDate: a row without a date.
    static std::shared_ptr<CBDiskCacheMapTile> cacheMapTileInContext(
        NSManagedObjectContext& context) {
        auto tile = cacheMapTileWithoutDateInContext(context);
        if (tile)
            tile->setLastAccess(NSDate::date());
        return tile;
    }
    static std::shared_ptr<CBDiskCacheMapTile> cacheMapTileWithoutDateInContext(
        NSManagedObjectContext& context) {
        return std::dynamic_pointer_cast<CBDiskCacheMapTile>(
            context.insertNewObjectForEntityForName("maptile"));
    }

    std::optional<std::string> quadKey() { return stringForKey("quadKey"); }
    void setQuadKey(const std::string& quadKey) { setValueForKey("quadKey", Value(quadKey)); }
    std::optional<NSDate> lastAccess() { return dateForKey("lastAccess"); }
    void setLastAccess(NSDate date) { setValueForKey("lastAccess", Value(date)); }
    std::shared_ptr<NSManagedObject> style() { return objectForKey("style"); }
    void setStyle(const std::shared_ptr<NSManagedObject>& style) {
        setObjectForKey("style", style);
    }
    std::shared_ptr<NSManagedObject> mapstore() { return objectForKey("mapstore"); }
    void setMapstore(const std::shared_ptr<NSManagedObject>& store) {
        setObjectForKey("mapstore", store);
    }
};
