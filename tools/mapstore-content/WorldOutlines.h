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
    struct Country {
        std::string name;
        CatalogueWriter::Box box;  // of the largest polygon: the mainland
    };

    // nullopt with *error when the file is not such an atlas.
    static std::optional<WorldOutlines> read(const std::string& path, std::string* error);
    std::optional<Country> countryWithNumericCode(const std::string& numericCode) const;
    // Every country of the atlas that has an outline.
    std::vector<Country> countries() const;

  private:
    Value atlas_;
};
