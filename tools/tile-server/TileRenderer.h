#pragma once

#include <string>

class WorldOutlines;

// Draws 256 x 256 PNG tiles of the world in Web Mercator: sea, land, country
// borders, and country names at low zoom levels.
class TileRenderer {
  public:
    explicit TileRenderer(const WorldOutlines& world) : world_(world) {}

    std::string tile(int z, int x, int y) const;
    // A tile-sized picture saying what went wrong (for error answers).
    static std::string errorTile(const std::string& message);

  private:
    const WorldOutlines& world_;
};
