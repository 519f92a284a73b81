#pragma once

#include <string>
#include <vector>

// Country outlines and the land read from a TopoJSON file of Natural Earth
// (objects "countries" and "land"), in degrees.
struct WorldPoint {
    double lon;
    double lat;
};

struct WorldRing {
    std::vector<WorldPoint> points;
    double west, south, east, north;
};

struct WorldCountry {
    std::string name;
    // Outer rings and holes alike; filled with the even-odd rule.
    std::vector<WorldRing> rings;
    // Where the name goes: the centre of the largest ring's box.
    WorldPoint label{};
    double labelSpan = 0;
};

class WorldOutlines {
  public:
    // Throws std::runtime_error with a readable message on a bad file.
    explicit WorldOutlines(const std::string& path);

    const std::vector<WorldRing>& land() const { return land_; }
    const std::vector<WorldCountry>& countries() const { return countries_; }

  private:
    std::vector<WorldRing> land_;
    std::vector<WorldCountry> countries_;
};
