#pragma once

#include <cstdint>

#include "CBGeoData/CBBoundingBox.h"

// Web Mercator tiles and their quad key numbers: the digit 1, then one digit
// per zoom level from the coarsest (x bit + 2 × y bit).
namespace TileMath {

struct Tile {
    int64_t x;
    int64_t y;
    int z;
};

Tile tileForCoordinate(double latitude, double longitude, int z);
uint64_t quadKey(const Tile& tile);
CBBoundingBox boxOfTile(const Tile& tile);
// Screen pixels per degree of longitude at zoom z (256-pixel tiles).
double pixelsPerDegree(int z);

}  // namespace TileMath
