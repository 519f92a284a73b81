#pragma once

#include <optional>
#include <string>
#include <vector>

#include "CatalogueWriter.h"
#include "Foundation/Value.h"

// Country outlines of a TopoJSON world atlas (Natural Earth, countries keyed
// by ISO 3166 numeric id).
class WorldOutlines {
  public:
    struct Point {
        double longitude, latitude;
    };
    using Ring = std::vector<Point>;
    struct Country {
        std::string name;
        CatalogueWriter::Box box;  // of the largest polygon: the mainland
    };

    // nullopt with *error when the file is not such an atlas.
    static std::optional<WorldOutlines> read(const std::string& path, std::string* error);
    std::optional<Country> countryWithNumericCode(const std::string& numericCode) const;
    // Every country of the atlas that has an outline.
    std::vector<Country> countries() const;
    // Every ring (outer rings and holes) of the land, or of one country;
    // filled with the even-odd rule they give the shapes.
    std::vector<Ring> landRings() const;
    std::vector<Ring> countryRings(const std::string& numericCode) const;

  private:
    // Each polygon of a geometry as its rings, the outer one first.
    std::vector<std::vector<Ring>> polygonsOfGeometry(const Value& geometry) const;
    const Value* countryGeometry(const std::string& numericCode) const;

    Value atlas_;
};
