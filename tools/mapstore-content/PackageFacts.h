#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "CatalogueWriter.h"
#include "GazetteerWriter.h"

// What the catalogue and the statistics say of a built map package, read
// from its geo store through the Core Data stand-in and the geo model.
struct PackageFacts {
    std::map<std::string, std::string> names;  // language code (lower case) -> name
    std::vector<std::string> places;           // named cities, towns, villages, suburbs
    std::vector<GazetteerPlace> namedPlaces;   // every named place of any kind, with its point
    CatalogueWriter::Box box;
    std::vector<CLLocationCoordinate2D> outline;  // convex hull of every node, closed
    CLLocationCoordinate2D centre{0, 0};  // the place named centrePlace, else the nodes' mean
    int64_t pointsOfInterest = 0;
    int64_t shops = 0;
    int64_t restaurants = 0;
    int64_t pubs = 0;

    // false with *error when the store cannot be read. typesPath is the
    // type table that names the codes counted.
    static bool read(const std::string& storePath, const std::string& modelPath,
                     const std::string& typesPath, const std::string& centrePlace,
                     PackageFacts* facts, std::string* error);
};
