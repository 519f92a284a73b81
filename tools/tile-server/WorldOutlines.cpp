#include "WorldOutlines.h"

#include <algorithm>
#include <fstream>
#include <nlohmann/json.hpp>
#include <stdexcept>

namespace {

using Arc = std::vector<WorldPoint>;

// Arcs are quantised and delta-encoded; decode them once.
std::vector<Arc> decodeArcs(const nlohmann::json& topology) {
    const auto& transform = topology.at("transform");
    const double sx = transform.at("scale").at(0), sy = transform.at("scale").at(1);
    const double tx = transform.at("translate").at(0), ty = transform.at("translate").at(1);
    std::vector<Arc> arcs;
    for (const auto& encoded : topology.at("arcs")) {
        Arc arc;
        long x = 0, y = 0;
        for (const auto& delta : encoded) {
            x += delta.at(0).get<long>();
            y += delta.at(1).get<long>();
            arc.push_back({x * sx + tx, y * sy + ty});
        }
        arcs.push_back(std::move(arc));
    }
    return arcs;
}

WorldRing ringFromArcs(const nlohmann::json& indexes, const std::vector<Arc>& arcs) {
    WorldRing ring{{}, 180, 90, -180, -90};
    for (const auto& value : indexes) {
        const int index = value.get<int>();
        const bool reversed = index < 0;
        const size_t arcIndex = reversed ? static_cast<size_t>(~index) : static_cast<size_t>(index);
        if (arcIndex >= arcs.size())
            throw std::runtime_error("arc index out of range");
        Arc arc = arcs[arcIndex];
        if (reversed)
            std::reverse(arc.begin(), arc.end());
        // Consecutive arcs share their joining point.
        const size_t skip = ring.points.empty() ? 0 : 1;
        ring.points.insert(ring.points.end(),
                           arc.begin() + static_cast<long>(std::min(skip, arc.size())), arc.end());
    }
    for (const WorldPoint& p : ring.points) {
        ring.west = std::min(ring.west, p.lon);
        ring.east = std::max(ring.east, p.lon);
        ring.south = std::min(ring.south, p.lat);
        ring.north = std::max(ring.north, p.lat);
    }
    return ring;
}

std::vector<WorldRing> ringsOfGeometry(const nlohmann::json& geometry,
                                       const std::vector<Arc>& arcs) {
    std::vector<WorldRing> rings;
    const std::string type = geometry.value("type", "");
    if (type == "Polygon") {
        for (const auto& ring : geometry.at("arcs"))
            rings.push_back(ringFromArcs(ring, arcs));
    } else if (type == "MultiPolygon") {
        for (const auto& polygon : geometry.at("arcs"))
            for (const auto& ring : polygon)
                rings.push_back(ringFromArcs(ring, arcs));
    }
    return rings;
}

}  // namespace

WorldOutlines::WorldOutlines(const std::string& path) {
    std::ifstream file(path);
    if (!file)
        throw std::runtime_error("cannot read " + path);
    nlohmann::json topology;
    try {
        topology = nlohmann::json::parse(file);
        const auto arcs = decodeArcs(topology);
        for (const auto& geometry : topology.at("objects").at("land").at("geometries"))
            for (auto& ring : ringsOfGeometry(geometry, arcs))
                land_.push_back(std::move(ring));
        for (const auto& geometry : topology.at("objects").at("countries").at("geometries")) {
            WorldCountry country;
            if (geometry.contains("properties") && geometry["properties"].contains("name"))
                country.name = geometry["properties"]["name"].get<std::string>();
            country.rings = ringsOfGeometry(geometry, arcs);
            for (const WorldRing& ring : country.rings) {
                const double span = std::max(ring.east - ring.west, ring.north - ring.south);
                if (span > country.labelSpan) {
                    country.labelSpan = span;
                    country.label = {(ring.west + ring.east) / 2, (ring.south + ring.north) / 2};
                }
            }
            countries_.push_back(std::move(country));
        }
    } catch (const nlohmann::json::exception& error) {
        throw std::runtime_error(path + ": not a TopoJSON world file: " + error.what());
    }
}
