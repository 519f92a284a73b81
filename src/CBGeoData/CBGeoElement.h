#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CBGeoData/CBCoordinatePath.h"
#include "CBGeoData/CBGeoPathObject.h"
#include "CoreData/NSManagedObject.h"
#include "CoreLocation/CLLocationCoordinate2D.h"

class NSManagedObjectContext;
class CBGeoElementInfo;
class CBGeoMapTile;
class CBGeoNodeInfo;
class CBGeoObject;

// One drawable way, area or point of a geo object: style codes, architecture
// bits, drawing layer and coordinate path. The tile road keeps the paths it
// draws in its own per-tile cache; the drawing forms the element holds are
// for callers outside it.
class CBGeoElement : public NSManagedObject, public CBGeoPathObject {
  public:
    static constexpr const char* kEntityName = "element";

    enum Architecture : int64_t {
        kArea = 1,
        kBuilding = 2,
        kBridge = 4,
        kTunnel = 8,
        kClosed = 16,
    };

    static std::shared_ptr<CBGeoElement> elementInContext(
        const std::shared_ptr<NSManagedObjectContext>& context);
    static std::shared_ptr<CBGeoElement> simpleElementInContextWithCoordinate(
        const std::shared_ptr<NSManagedObjectContext>& context, CLLocationCoordinate2D coordinate);
    // "area", "building", "bridge", "tunnel"; nullopt for any other value.
    static std::optional<std::string> stringForArchitectureType(int64_t type);

    // The stored path; nullptr when missing or unreadable.
    std::shared_ptr<CBCoordinatePath> path() override;
    void setPath(const std::shared_ptr<CBCoordinatePath>& path);
    std::optional<int64_t> typeID() { return integerForKey("typeID"); }
    std::optional<int64_t> highwayID() { return integerForKey("highwayID"); }
    std::optional<int64_t> bikeID() { return integerForKey("bikeID"); }
    std::optional<int64_t> railwayID() { return integerForKey("railwayID"); }
    std::optional<int64_t> architecture() { return integerForKey("architecture"); }
    std::optional<int64_t> layerIndex() { return integerForKey("layerIndex"); }
    std::optional<int64_t> oneway() { return integerForKey("oneway"); }
    std::optional<std::string> ref() { return stringForKey("ref"); }
    std::optional<std::string> name() { return stringForKey("name"); }
    std::shared_ptr<CBGeoObject> object();
    std::vector<std::shared_ptr<CBGeoNodeInfo>> nodeInfos();
    std::vector<std::shared_ptr<CBGeoMapTile>> maptiles();
    // The element's memberships in relations.
    std::vector<std::shared_ptr<CBGeoElementInfo>> elementInfos();

    bool needsEOFill();
    bool isHighway() { return highwayID().has_value(); }
    bool isRailway() { return railwayID().has_value(); }
    bool isArchitectureType(int64_t mask);
    bool isBuilding() { return isArchitectureType(kBuilding); }
    bool isBridge() { return isArchitectureType(kBridge); }
    // The present codes of typeID, highwayID, bikeID, railwayID in that order;
    // nullopt when none is present.
    std::optional<std::vector<int64_t>> styleIds();
    CLLocationCoordinate2D coordinate() override;
    // Grows the box by every coordinate of every segment of the path; false
    // when the path has no coordinate.
    bool growBoundingBoxByPath(CBBoundingBox& box);
    std::string architectureTypeString();
    std::optional<std::string> title() { return name(); }
    NSManagedObjectID uniqueIdentifier() const { return objectID(); }
    std::string debugDescription();

    void didTurnIntoFault() override { releaseDrawingForms(); }
};
