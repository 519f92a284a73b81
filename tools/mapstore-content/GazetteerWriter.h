#pragma once

#include <string>
#include <vector>

#include "CoreLocation/CLLocationCoordinate2D.h"

// One named place of the offline place search.
struct GazetteerPlace {
    std::string name;
    CLLocationCoordinate2D coordinate;
    double radius = 0;  // metres the place covers
};

// The application's offline place list, "gazetteer.tsv", as the platform's
// local search reads it (MKGazetteer): one place a line, name, latitude,
// longitude and radius separated by tabs, sorted by name, each name and
// point once.
class GazetteerWriter {
  public:
    // The radius of a place of an OpenStreetMap "place" kind.
    static double radiusForPlaceKind(const std::string& kind);
    static std::string text(std::vector<GazetteerPlace> places);
};
