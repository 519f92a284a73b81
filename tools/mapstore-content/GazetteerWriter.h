#pragma once

#include <map>
#include <string>
#include <vector>

#include "CoreLocation/CLLocationCoordinate2D.h"

// One named place of the offline place search.
struct GazetteerPlace {
    std::string name;
    CLLocationCoordinate2D coordinate;
    double radius = 0;  // metres the place covers
    // What the data knows of where the place lies and how to reach it;
    // empty where it knows nothing (initialised, so a place may be given by
    // its first fields alone).
    std::string locality{};
    std::string thoroughfare{};
    std::string postalCode{};
    std::string phoneNumber{};
    std::string url{};
};

// The postal address a package keeps for a place.
struct GazetteerAddress {
    std::string street;
    std::string postalCode;
    std::string city;
};

// The application's offline place list, "gazetteer.tsv", as the platform's
// local search reads it (MKGazetteer): one place a line, name, latitude,
// longitude and radius, then locality, street, postal code, phone and web
// address as far as any is known, separated by tabs, sorted by name, each
// name and point once.
class GazetteerWriter {
  public:
    // The radius of a place of an OpenStreetMap "place" kind.
    static double radiusForPlaceKind(const std::string& kind);
    // A package's place of that kind with its tags (OpenStreetMap's keys)
    // and its address, when it has one.
    static GazetteerPlace placeOfKind(const std::string& name, CLLocationCoordinate2D coordinate,
                                      const std::string& kind,
                                      const std::map<std::string, std::string>& tags,
                                      const GazetteerAddress& address);
    static std::string text(std::vector<GazetteerPlace> places);
};
