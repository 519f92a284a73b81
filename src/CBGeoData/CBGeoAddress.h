#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CoreData/NSManagedObject.h"
#include "CoreLocation/CLLocationCoordinate2D.h"

class NSManagedObjectContext;
class CBGeoObject;

// A postal address point linked to the objects found there: the building or
// shop at the address and the street it lies on.
class CBGeoAddress : public NSManagedObject {
  public:
    static constexpr const char* kEntityName = "address";

    static std::shared_ptr<CBGeoAddress> addressInContext(
        const std::shared_ptr<NSManagedObjectContext>& context);
    static std::shared_ptr<CBGeoAddress> addressAtCoordinateForObjectInContext(
        CLLocationCoordinate2D coordinate, const std::shared_ptr<CBGeoObject>& object,
        const std::shared_ptr<NSManagedObjectContext>& context);

    std::optional<std::string> street() { return stringForKey("street"); }
    std::optional<std::string> houseNumber() { return stringForKey("houseNumber"); }
    std::optional<std::string> zipCode() { return stringForKey("zipCode"); }
    std::optional<std::string> city() { return stringForKey("city"); }
    std::vector<std::shared_ptr<CBGeoObject>> objects();
    void addObject(const std::shared_ptr<NSManagedObject>& object) {
        addObjectForKey("objects", object);
    }

    // Without a validity check.
    CLLocationCoordinate2D coordinate();
    // street, else the name of the linked street object.
    std::optional<std::string> streetName();
    // One linked object that is a highway, or nullptr.
    std::shared_ptr<CBGeoObject> streetObject();
    std::string shortFormattedString();
    std::string formattedString() { return formattedStringWithCityFallback(std::nullopt); }
    // Street line, "\r", then "zip city" (the fallback when the address has no city).
    std::string formattedStringWithCityFallback(const std::optional<std::string>& fallback);
    // Numeric comparison of the house numbers (9 before 10, 10 before 10a): -1, 0, 1.
    int compareHouseNumber(const std::shared_ptr<CBGeoAddress>& other);
    NSManagedObjectID uniqueIdentifier() const { return objectID(); }
    std::string debugDescription();
};
