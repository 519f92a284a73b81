#include "CBGeoData/CBGeoElement.h"

#include <cinttypes>
#include <cstdio>

#include "CBGeoData/CBGeoElementInfo.h"
#include "CBGeoData/CBGeoMapTile.h"
#include "CBGeoData/CBGeoNodeInfo.h"
#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBGeoRelation.h"
#include "CBGeoData/CBGeoTag.h"
#include "CoreData/NSManagedObjectContext.h"

namespace {

std::string numberText(const std::optional<int64_t>& number) {
    return number ? std::to_string(*number) : std::string("(null)");
}

}  // namespace

std::shared_ptr<CBGeoElement> CBGeoElement::elementInContext(
    const std::shared_ptr<NSManagedObjectContext>& context) {
    if (!context)
        return nullptr;
    return std::dynamic_pointer_cast<CBGeoElement>(
        context->insertNewObjectForEntityForName(kEntityName));
}

std::shared_ptr<CBGeoElement> CBGeoElement::simpleElementInContextWithCoordinate(
    const std::shared_ptr<NSManagedObjectContext>& context, CLLocationCoordinate2D coordinate) {
    auto element = elementInContext(context);
    if (element) {
        element->setValueForKey("latitude", Value(coordinate.latitude));
        element->setValueForKey("longitude", Value(coordinate.longitude));
    }
    return element;
}

std::optional<std::string> CBGeoElement::stringForArchitectureType(int64_t type) {
    switch (type) {
        case kArea:
            return "area";
        case kBuilding:
            return "building";
        case kBridge:
            return "bridge";
        case kTunnel:
            return "tunnel";
        default:
            return std::nullopt;
    }
}

std::shared_ptr<CBCoordinatePath> CBGeoElement::path() {
    auto value = transformableValueForKey("path");
    if (auto* path = std::any_cast<std::shared_ptr<CBCoordinatePath>>(&value))
        return *path;
    return nullptr;
}

void CBGeoElement::setPath(const std::shared_ptr<CBCoordinatePath>& path) {
    setTransformableValueForKey("path", path ? std::any(path) : std::any());
}

std::shared_ptr<CBGeoObject> CBGeoElement::object() {
    return std::dynamic_pointer_cast<CBGeoObject>(objectForKey("object"));
}

bool CBGeoElement::needsEOFill() {
    auto stored = path();
    return stored && stored->segmentCount() > 1;
}

bool CBGeoElement::isArchitectureType(int64_t mask) {
    return (architecture().value_or(0) & mask) == mask;
}

std::optional<std::vector<int64_t>> CBGeoElement::styleIds() {
    std::vector<int64_t> ids;
    for (const auto& code : {typeID(), highwayID(), bikeID(), railwayID()}) {
        if (code)
            ids.push_back(*code);
    }
    if (ids.empty())
        return std::nullopt;
    return ids;
}

CLLocationCoordinate2D CBGeoElement::coordinate() {
    auto latitude = doubleForKey("latitude");
    auto longitude = doubleForKey("longitude");
    if (!latitude || !longitude)
        return kCLLocationCoordinate2DInvalid;
    return {*latitude, *longitude};
}

bool CBGeoElement::growBoundingBoxByPath(CBBoundingBox& box) {
    auto stored = path();
    if (!stored)
        return false;
    bool grew = false;
    for (size_t segment = 0; segment < stored->segmentCount(); ++segment) {
        size_t count = stored->numberOfCoordinatesAtSegment(segment);
        for (size_t i = 0; i < count; ++i) {
            box.growToIncludeCoordinate(stored->coordinateAtIndexOfSegment(i, segment));
            grew = true;
        }
    }
    return grew;
}

std::string CBGeoElement::architectureTypeString() {
    std::string text;
    for (int64_t bit : {kArea, kBuilding, kTunnel, kBridge}) {
        if (!isArchitectureType(bit))
            continue;
        if (!text.empty())
            text += ", ";
        text += *stringForArchitectureType(bit);
    }
    return text.empty() ? "none" : text;
}

std::string CBGeoElement::debugDescription() {
    char head[256];
    std::snprintf(head, sizeof head, " at coordinate: %f, %f\n", coordinate().latitude,
                  coordinate().longitude);
    std::string text = "CBGeoElement on layer: " + numberText(layerIndex()) + " with " +
                       std::to_string(objectsForKey("nodeInfos").size()) +
                       " nodes and name: " + name().value_or("(null)") + " typeID " +
                       numberText(typeID()) + ", highwayID: " + numberText(highwayID()) +
                       ", railwayID: " + numberText(railwayID()) + ", bikeID " +
                       numberText(bikeID()) + " and architecture: " + architectureTypeString() +
                       "\n" + head;
    auto infos = objectsForKey("elementInfos");
    for (const auto& member : infos) {
        auto info = std::dynamic_pointer_cast<CBGeoElementInfo>(member);
        if (!info)
            continue;
        auto relation = info->relation();
        text += "my role: " + info->role().value_or("(null)") + " in relation with name: " +
                (relation ? relation->name().value_or("(null)") : std::string("(null)")) + "\n";
        text += "relation tags: ";
        if (relation) {
            for (const auto& tag : relation->tags())
                text += tag->debugDescription();
        }
        text += "\n";
    }
    auto stored = path();
    std::string pathText = "(null)";
    if (stored) {
        pathText = std::to_string(stored->segmentCount()) + " segments";
    }
    text += "path: " + pathText + "\n";
    return text;
}

std::vector<std::shared_ptr<CBGeoNodeInfo>> CBGeoElement::nodeInfos() {
    return objectsOfClassForKey<CBGeoNodeInfo>("nodeInfos");
}

std::vector<std::shared_ptr<CBGeoMapTile>> CBGeoElement::maptiles() {
    return objectsOfClassForKey<CBGeoMapTile>("maptiles");
}

std::vector<std::shared_ptr<CBGeoElementInfo>> CBGeoElement::elementInfos() {
    return objectsOfClassForKey<CBGeoElementInfo>("elementInfos");
}
