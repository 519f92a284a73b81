#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CoreLocation/CLLocationCoordinate2D.h"

class NSManagedObjectModel;

// What a catalogue holds, and its writing through the Core Data stand-in
// with the catalogue model, so the app reads exactly what its model writes.
namespace CatalogueWriter {

struct Box {
    double north = 0, east = 0, south = 0, west = 0;
};

struct Group {
    std::string code;
    std::string name;
};

struct Country {
    std::string code;  // ISO 3166-1 alpha-2
    std::string name;
    Box box;
    std::optional<std::string> groupCode;
};

struct Region {
    std::string code;  // ISO 3166-2
    std::string name;
    std::string countryCode;
    std::optional<std::string> groupCode;
};

struct Map {
    std::string identifier;
    std::string name;
    std::map<std::string, std::string> titles;  // language code (lower case) -> title
    std::vector<std::string> places;
    int priority = 0;
    Box box;
    std::vector<CLLocationCoordinate2D> shape;  // one closed ring
    std::string countryCode;
    std::optional<std::string> regionCode;
};

struct Catalogue {
    std::vector<Group> groups;
    std::vector<Country> countries;
    std::vector<Region> regions;
    std::vector<Map> maps;
};

// Writes a new store at path (an existing file is replaced); false with
// *error on failure.
bool writeCatalogue(const Catalogue& catalogue, const std::string& path,
                    const std::shared_ptr<NSManagedObjectModel>& model, std::string* error);

}  // namespace CatalogueWriter
