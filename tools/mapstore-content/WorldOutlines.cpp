#include "WorldOutlines.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "Foundation/NSData+Files.h"
#include "Foundation/NSJSONSerialization.h"

namespace {

using Point = WorldOutlines::Point;
using Ring = WorldOutlines::Ring;

// The points of arc `index` (~index: reversed) after the atlas's transform.
std::vector<Point> arcPoints(const Value& arcs, const Value& transform, int64_t index) {
    const bool reversed = index < 0;
    const size_t arc = size_t(reversed ? ~index : index);
    std::vector<Point> points;
    const Value* deltas = arcs.at(arc);
    const Value* scale = transform.get("scale");
    const Value* translate = transform.get("translate");
    if (!deltas || !deltas->arrayValue() || !scale || !translate)
        return points;
    double x = 0, y = 0;
    for (const Value& delta : *deltas->arrayValue()) {
        const Value* dx = delta.at(0);
        const Value* dy = delta.at(1);
        if (!dx || !dy)
            continue;
        x += dx->doubleValue().value_or(0);
        y += dy->doubleValue().value_or(0);
        points.push_back({x * scale->at(0)->doubleValue().value_or(1) +
                              translate->at(0)->doubleValue().value_or(0),
                          y * scale->at(1)->doubleValue().value_or(1) +
                              translate->at(1)->doubleValue().value_or(0)});
    }
    if (reversed)
        std::reverse(points.begin(), points.end());
    return points;
}

double ringArea(const std::vector<Point>& ring) {
    double area = 0;
    for (size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++)
        area += (ring[j].longitude + ring[i].longitude) * (ring[j].latitude - ring[i].latitude);
    return std::fabs(area / 2);
}

}  // namespace

std::optional<WorldOutlines> WorldOutlines::read(const std::string& path, std::string* error) {
    auto data = dataWithContentsOfFile(path);
    auto json = data ? NSJSONSerialization::JSONObjectWithData(*data) : std::nullopt;
    const Value* objects = json ? json->get("objects") : nullptr;
    if (!objects || !objects->get("countries") || !json->get("arcs") || !json->get("transform")) {
        if (error)
            *error = path + " is not a TopoJSON world atlas";
        return std::nullopt;
    }
    WorldOutlines outlines;
    outlines.atlas_ = *json;
    return outlines;
}

std::vector<std::vector<Ring>> WorldOutlines::polygonsOfGeometry(const Value& geometry) const {
    std::vector<std::vector<Ring>> result;
    const Value* type = geometry.get("type");
    const Value* rings = geometry.get("arcs");
    if (!type || !type->stringValue() || !rings || !rings->arrayValue())
        return result;
    // A polygon is an array of rings (the first is the outer one).
    std::vector<const Value*> polygons;
    if (*type->stringValue() == "Polygon") {
        polygons.push_back(rings);
    } else {
        for (const Value& polygon : *rings->arrayValue())
            polygons.push_back(&polygon);
    }
    const Value& arcs = *atlas_.get("arcs");
    const Value& transform = *atlas_.get("transform");
    for (const Value* polygon : polygons) {
        if (!polygon->arrayValue())
            continue;
        std::vector<Ring> decoded;
        for (const Value& ringArcs : *polygon->arrayValue()) {
            Ring ring;
            if (ringArcs.arrayValue())
                for (const Value& arc : *ringArcs.arrayValue()) {
                    auto points = arcPoints(arcs, transform, arc.integerValue().value_or(0));
                    ring.insert(ring.end(), points.begin(), points.end());
                }
            if (ring.size() >= 3)
                decoded.push_back(std::move(ring));
        }
        if (!decoded.empty())
            result.push_back(std::move(decoded));
    }
    return result;
}

const Value* WorldOutlines::countryGeometry(const std::string& numericCode) const {
    const Value* geometries = atlas_.get("objects")->get("countries")->get("geometries");
    if (!geometries || !geometries->arrayValue())
        return nullptr;
    for (const Value& geometry : *geometries->arrayValue()) {
        const Value* id = geometry.get("id");
        if (id && id->stringValue() && *id->stringValue() == numericCode)
            return &geometry;
    }
    return nullptr;
}

std::optional<WorldOutlines::Country> WorldOutlines::countryWithNumericCode(
    const std::string& numericCode) const {
    const Value* geometry = countryGeometry(numericCode);
    if (!geometry)
        return std::nullopt;
    double largest = -1;
    Country country;
    const Value* name =
        geometry->get("properties") ? geometry->get("properties")->get("name") : nullptr;
    country.name = name && name->stringValue() ? *name->stringValue() : numericCode;
    for (const auto& polygon : polygonsOfGeometry(*geometry)) {
        const Ring& ring = polygon.front();
        const double area = ringArea(ring);
        if (area <= largest)
            continue;
        largest = area;
        CatalogueWriter::Box box{-90, -180, 90, 180};
        for (const Point& point : ring) {
            box.north = std::max(box.north, point.latitude);
            box.south = std::min(box.south, point.latitude);
            box.east = std::max(box.east, point.longitude);
            box.west = std::min(box.west, point.longitude);
        }
        country.box = box;
    }
    if (largest < 0)
        return std::nullopt;
    return country;
}

std::vector<Ring> WorldOutlines::countryRings(const std::string& numericCode) const {
    std::vector<Ring> rings;
    if (const Value* geometry = countryGeometry(numericCode))
        for (auto& polygon : polygonsOfGeometry(*geometry))
            for (auto& ring : polygon)
                rings.push_back(std::move(ring));
    return rings;
}

std::vector<Ring> WorldOutlines::landRings() const {
    std::vector<Ring> rings;
    const Value* land = atlas_.get("objects")->get("land");
    const Value* geometries = land ? land->get("geometries") : nullptr;
    if (!geometries || !geometries->arrayValue())
        return rings;
    for (const Value& geometry : *geometries->arrayValue())
        for (auto& polygon : polygonsOfGeometry(geometry))
            for (auto& ring : polygon)
                rings.push_back(std::move(ring));
    return rings;
}

std::vector<WorldOutlines::Country> WorldOutlines::countries() const {
    std::vector<Country> countries;
    const Value* geometries = atlas_.get("objects")->get("countries")->get("geometries");
    if (!geometries || !geometries->arrayValue())
        return countries;
    for (const Value& geometry : *geometries->arrayValue())
        if (const Value* id = geometry.get("id"); id && id->stringValue())
            if (auto country = countryWithNumericCode(*id->stringValue()))
                countries.push_back(*country);
    return countries;
}
