#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CoreData/NSManagedObject.h"
#include "CoreLocation/CLLocation.h"
#include "CoreLocation/CLLocationCoordinate2D.h"

class CBGeoNodeInfo;
class CBGeoObject;
class NSManagedObjectContext;

// A shared point of ways, joined to its elements in order through node infos.
class CBGeoNode : public NSManagedObject {
  public:
    static constexpr const char* kEntityName = "node";

    static std::shared_ptr<CBGeoNode> nodeWithLatitudeAndLongitudeInContext(
        double latitude, double longitude, const std::shared_ptr<NSManagedObjectContext>& context);

    std::optional<int64_t> osmID() { return integerForKey("osmID"); }
    // Without a validity check: a node without a point is (0, 0).
    CLLocationCoordinate2D coordinate();
    std::vector<std::shared_ptr<CBGeoNodeInfo>> nodeInfos();
    std::vector<std::shared_ptr<CBGeoObject>> objects();
    std::shared_ptr<CLLocation> coreLocation();
    // Metres from the last fix of the platform location manager the location
    // service drives (not the service's own, so a demo path does not move
    // it); nullopt without one.
    std::optional<double> distanceFromLastLocation();
    // Manhattan distance in degrees.
    double deltaFromLatAndLon(double latitude, double longitude);
    std::string title();

  private:
    std::shared_ptr<CLLocation> coreLocation_;
};
