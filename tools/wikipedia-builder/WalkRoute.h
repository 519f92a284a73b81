#pragma once

#include <string>
#include <vector>

#include "CoreLocation/CLLocationCoordinate2D.h"

class NSManagedObjectContext;

// A walk along the streets and footways of a geo store: the shortest way
// over the store's highway elements from stop to stop, densified so that no
// step is longer than kStep metres.
struct WalkRoute {
    static constexpr double kStep = 15.0;
    static constexpr double kWalkingSpeed = 1.4;  // metres per second

    std::vector<CLLocationCoordinate2D> points;
    std::vector<double> stopDistances;  // metres from the start, per stop
    double totalDistance = 0.0;

    // Empty points when the store has no highway near a stop.
    static WalkRoute between(NSManagedObjectContext& context,
                             const std::vector<CLLocationCoordinate2D>& stops, std::string* error);

    // The route as a GPX 1.1 track, timed at walking speed, for replaying
    // the walk as locations (--gpx).
    std::string gpx(const std::string& name) const;
};
