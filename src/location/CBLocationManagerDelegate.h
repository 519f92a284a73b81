#pragma once

#include <memory>
#include <optional>

#include "CoreLocation/CLHeading.h"
#include "CoreLocation/CLLocation.h"
#include "Foundation/NSError.h"

class CBLocationManager;

// What the location service tells the objects that follow it, on the main
// thread. Only the fix is required.
class CBLocationManagerDelegate {
  public:
    virtual ~CBLocationManagerDelegate() = default;
    // Each accepted fix, with the one before it (nullptr when there is none).
    virtual void locationManagerDidUpdateToLocationFromLocation(
        CBLocationManager& manager, std::shared_ptr<CLLocation> newLocation,
        std::shared_ptr<CLLocation> oldLocation) = 0;
    // Each accepted heading; nullptr when the compass was switched off.
    virtual void locationManagerDidUpdateHeading(CBLocationManager&,
                                                 std::shared_ptr<CLHeading> /*heading*/) {}
    // Location errors, a refused authorisation, no fix within 30 s.
    virtual void locationManagerDidFailWithError(CBLocationManager&, const NSError& /*error*/) {}
};

// What the location service feeds with every accepted fix: the analyzer of
// a guided walk, which lives in the map kit above. The guide's stops read
// how far along the walk the user is through it.
class CBLocationManagerPathAnalyzer {
  public:
    virtual ~CBLocationManagerPathAnalyzer() = default;
    virtual void updateUserLocation(std::shared_ptr<CLLocation> location) = 0;
    // Metres walked along the path up to its point nearest the last fix;
    // nullopt before the first fix or on a path without a length.
    virtual std::optional<double> distanceBehind() const { return std::nullopt; }
};
