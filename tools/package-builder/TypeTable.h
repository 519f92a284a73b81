#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using OsmTags = std::map<std::string, std::string>;

// The style codes of OpenStreetMap tags, read from CBGeoTypes.plist (layout
// in docs/PACKAGE.md): per field the first entry whose key and value match.
class TypeTable {
  public:
    struct Codes {
        std::optional<int64_t> typeID;
        std::optional<int64_t> highwayID;
        std::optional<int64_t> bikeID;
        std::optional<int64_t> railwayID;
        int minZoom = 99;        // the lowest zoom of any matched entry
        bool area = false;       // the typeID entry draws closed ways as areas
        bool fill = false;       // the typeID may fill whole tiles
        bool pointOnly = false;  // the typeID entry is drawn as a point only
        bool any() const { return typeID || highwayID || bikeID || railwayID; }
    };

    // nullptr with a message on stderr when the file is missing or malformed.
    static std::unique_ptr<TypeTable> tableWithContentsOfFile(const std::string& path);

    Codes codesForTags(const OsmTags& tags) const;
    std::optional<int> minZoomOfType(int64_t code) const;

  private:
    struct Entry {
        int64_t id;
        std::string field;
        std::string key;
        std::string value;
        std::string geometry;
        int minZoom;
        bool fill;
    };
    std::vector<Entry> entries_;
};
