#pragma once

#include <map>
#include <string>
#include <vector>

class WorldOutlines;
struct WorldCountry;

// Draws 256 x 256 PNG tiles of the world in Web Mercator: sea, land, country
// borders, and country names at low zoom levels.
class TileRenderer {
  public:
    explicit TileRenderer(const WorldOutlines& world);

    std::string tile(int z, int x, int y) const;
    // A tile-sized picture saying what went wrong (for error answers).
    static std::string errorTile(const std::string& message);

  private:
    // A country's name where it goes at one zoom level: its middle in pixels
    // of the whole world at that level.
    struct Label {
        const WorldCountry* country;
        double x;
        double y;
    };
    // The names of each level with names, chosen once for the whole world
    // so that no two overlap and every tile draws the same ones.
    void placeLabels();

    const WorldOutlines& world_;
    std::map<int, std::vector<Label>> labels_;
};
