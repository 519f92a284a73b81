#include "WorldOutlines.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "Foundation/NSData+Files.h"
#include "Foundation/NSJSONSerialization.h"

namespace {

struct Point {
    double longitude, latitude;
};

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

namespace {

// The country of one geometry of the atlas: its name and the box of its
// largest polygon; nullopt without an outline.
std::optional<WorldOutlines::Country> countryOfGeometry(const Value& geometry, const Value& arcs,
                                                        const Value& transform) {
    const Value* type = geometry.get("type");
    const Value* rings = geometry.get("arcs");
    if (!type || !type->stringValue() || !rings || !rings->arrayValue())
        return std::nullopt;
    // A polygon is an array of rings (the first is the outer one).
    std::vector<const Value*> polygons;
    if (*type->stringValue() == "Polygon") {
        polygons.push_back(rings);
    } else {
        for (const Value& polygon : *rings->arrayValue())
            polygons.push_back(&polygon);
    }
    double largest = -1;
    WorldOutlines::Country country;
    const Value* name =
        geometry.get("properties") ? geometry.get("properties")->get("name") : nullptr;
    const Value* id = geometry.get("id");
    country.name = name && name->stringValue()
                       ? *name->stringValue()
                       : (id && id->stringValue() ? *id->stringValue() : std::string());
    for (const Value* polygon : polygons) {
        const Value* outer = polygon->at(0);
        if (!outer || !outer->arrayValue())
            continue;
        std::vector<Point> ring;
        for (const Value& arc : *outer->arrayValue()) {
            auto points = arcPoints(arcs, transform, arc.integerValue().value_or(0));
            ring.insert(ring.end(), points.begin(), points.end());
        }
        if (ring.size() < 3)
            continue;
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

}  // namespace

std::optional<WorldOutlines::Country> WorldOutlines::countryWithNumericCode(
    const std::string& numericCode) const {
    const Value* geometries = atlas_.get("objects")->get("countries")->get("geometries");
    if (!geometries || !geometries->arrayValue())
        return std::nullopt;
    for (const Value& geometry : *geometries->arrayValue()) {
        const Value* id = geometry.get("id");
        if (id && id->stringValue() && *id->stringValue() == numericCode)
            return countryOfGeometry(geometry, *atlas_.get("arcs"), *atlas_.get("transform"));
    }
    return std::nullopt;
}

std::vector<WorldOutlines::Country> WorldOutlines::countries() const {
    std::vector<Country> countries;
    const Value* geometries = atlas_.get("objects")->get("countries")->get("geometries");
    if (!geometries || !geometries->arrayValue())
        return countries;
    for (const Value& geometry : *geometries->arrayValue())
        if (auto country =
                countryOfGeometry(geometry, *atlas_.get("arcs"), *atlas_.get("transform")))
            countries.push_back(*country);
    return countries;
}
