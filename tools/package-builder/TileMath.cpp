#include "TileMath.h"

#include <algorithm>
#include <cmath>

namespace TileMath {

namespace {
constexpr double kMaxLatitude = 85.05112878;
}

Tile tileForCoordinate(double latitude, double longitude, int z) {
    double n = std::ldexp(1.0, z);
    double lat = std::clamp(latitude, -kMaxLatitude, kMaxLatitude) * M_PI / 180.0;
    double x = (longitude + 180.0) / 360.0 * n;
    double y = (1.0 - std::log(std::tan(lat) + 1.0 / std::cos(lat)) / M_PI) / 2.0 * n;
    auto last = static_cast<int64_t>(n) - 1;
    return {std::clamp<int64_t>(static_cast<int64_t>(std::floor(x)), 0, last),
            std::clamp<int64_t>(static_cast<int64_t>(std::floor(y)), 0, last), z};
}

uint64_t quadKey(const Tile& tile) {
    uint64_t key = 1;
    for (int level = tile.z - 1; level >= 0; --level) {
        uint64_t digit = ((tile.x >> level) & 1) + 2 * ((tile.y >> level) & 1);
        key = key * 10 + digit;
    }
    return key;
}

CBBoundingBox boxOfTile(const Tile& tile) {
    double n = std::ldexp(1.0, tile.z);
    auto longitude = [n](double x) { return x / n * 360.0 - 180.0; };
    auto latitude = [n](double y) {
        return std::atan(std::sinh(M_PI * (1.0 - 2.0 * y / n))) * 180.0 / M_PI;
    };
    return CBBoundingBox(
        {latitude(static_cast<double>(tile.y)), longitude(static_cast<double>(tile.x + 1))},
        {latitude(static_cast<double>(tile.y + 1)), longitude(static_cast<double>(tile.x))});
}

double pixelsPerDegree(int z) {
    return 256.0 * std::ldexp(1.0, z) / 360.0;
}

}  // namespace TileMath
