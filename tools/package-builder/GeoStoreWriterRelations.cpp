// Public-transport routes and stop areas of a geo store.
#include <algorithm>
#include <cmath>
#include <set>

#include "CBGeoData/CBCoordinatePath.h"
#include "CBGeoData/CBGeoElement.h"
#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBGeoTag.h"
#include "CoreData/NSManagedObjectContext.h"
#include "GeoStoreWriter.h"
#include "StopKinds.h"

namespace {

std::optional<std::string> tagValue(const OsmTags& tags, const char* key) {
    auto found = tags.find(key);
    if (found == tags.end())
        return std::nullopt;
    return found->second;
}

// Stops keep "stop" or "platform" as role whatever variant the data uses
// ("stop_entry_only", "platform_exit_only", or an empty role on a stop node).
std::string memberRole(const OsmMember& member, bool isStop) {
    if (member.role.rfind("stop", 0) == 0)
        return "stop";
    if (member.role.rfind("platform", 0) == 0)
        return "platform";
    if (isStop && member.type == 'n')
        return "stop";
    return member.role;
}

}  // namespace

void GeoStoreWriter::writeRelations(const OsmData& data) {
    for (const OsmRelation& relation : data.relations) {
        auto type = tagValue(relation.tags, "type");
        auto route = tagValue(relation.tags, "route");
        if (type == "route" && route && (isPublicTransportRoute(*route) || *route == "bicycle"))
            writeRoute(relation, *route);
        else if (tagValue(relation.tags, "public_transport") == "stop_area")
            writeStopArea(relation);
    }
}

void GeoStoreWriter::writeRoute(const OsmRelation& relation, const std::string& route) {
    auto row = context_->insertNewObjectForEntityForName("relation");
    std::string name =
        tagValue(relation.tags, "name").value_or(tagValue(relation.tags, "ref").value_or(route));
    row->setValueForKey("name", Value(name));
    row->setValueForKey("displayName", Value(name));
    row->setValueForKey("canonicalName", Value(CBGeoObject::canonicalNameForString(name)));
    // Only a colour OpenStreetMap gives: the transit overlay picks palette
    // colours for the others.
    if (auto colour = routeColour(relation.tags))
        row->setValueForKey("color", Value(*colour));
    OsmTags tags = relation.tags;
    tags.erase("type");
    addTags(*row, "tags", tags);
    if (isPublicTransportRoute(route)) {
        row->addObjectForKey("tags", tagFor("route_pubtrans", route));
        ++transitRoutes_;
    }
    auto path = std::vector<std::shared_ptr<CBCoordinatePath>>();
    std::set<const NSManagedObject*> important;
    int64_t order = 0;
    bool listsStops = false;
    for (const OsmMember& member : relation.members) {
        std::shared_ptr<CBGeoElement> element;
        std::shared_ptr<CBGeoObject> object;
        if (member.type == 'n') {
            auto found = nodeElements_.find(member.ref);
            if (found != nodeElements_.end()) {
                element = found->second;
                object = nodeObjects_[member.ref];
            }
        } else if (member.type == 'w') {
            auto found = wayElements_.find(member.ref);
            if (found != wayElements_.end()) {
                element = found->second;
                auto owner = wayObjects_.find(member.ref);
                if (owner != wayObjects_.end())
                    object = owner->second;
            } else if (auto way = waysByID_.find(member.ref); way != waysByID_.end()) {
                // A way drawn by nothing else still gives the route its shape.
                element = CBGeoElement::elementInContext(context_);
                auto wayPath = std::make_shared<CBCoordinatePath>(1);
                wayPath->setupPathForSegmentWithNumberOfCoordinates(0, way->second->points.size());
                for (size_t i = 0; i < way->second->points.size(); ++i)
                    wayPath->setCoordinateAtIndex(way->second->points[i], i);
                element->setPath(wayPath);
                wayElements_[member.ref] = element;
                ++statistics_.elements;
            }
            if (element && element->path())
                path.push_back(element->path());
        }
        if (!element)
            continue;
        bool isStop = object && object->isTransportRelated();
        auto info = context_->insertNewObjectForEntityForName("elementInfo");
        info->setValueForKey("order", Value(order++));
        info->setValueForKey("role", Value(memberRole(member, isStop)));
        info->setObjectForKey("element", element);
        info->setObjectForKey("relation", row);
        if (isStop && important.insert(object.get()).second)
            row->addObjectForKey("importantObjects", object);
        listsStops = listsStops || isStop;
    }
    if (!listsStops && isPublicTransportRoute(route))
        addStopsAlongRoute(*row, route, path);
    if (!path.empty()) {
        auto joined = std::make_shared<CBCoordinatePath>(path);
        row->setTransformableValueForKey("path", joined);
        auto box = joined->bbox();
        row->setValueForKey("latitude", Value(box->centerCoordinate().latitude));
        row->setValueForKey("longitude", Value(box->centerCoordinate().longitude));
    }
    ++statistics_.relations;
}

void GeoStoreWriter::addStopsAlongRoute(
    NSManagedObject& route, const std::string& kind,
    const std::vector<std::shared_ptr<CBCoordinatePath>>& path) {
    const std::set<std::string>* kinds = nullptr;
    static const std::set<std::string> bus = {"bus_stop", "bus_station", "platform"};
    static const std::set<std::string> tram = {"tram_stop", "platform"};
    static const std::set<std::string> train = {"station", "halt"};
    static const std::set<std::string> subway = {"subway", "station"};
    static const std::set<std::string> ferry = {"ferry_terminal"};
    double reach = 0.0004;  // degrees of latitude: a stop beside the road
    if (kind == "bus" || kind == "trolleybus") {
        kinds = &bus;
    } else if (kind == "tram") {
        kinds = &tram;
    } else if (kind == "train" || kind == "light_rail") {
        kinds = &train;
        reach = 0.0015;  // a station's node may sit on its building
    } else if (kind == "subway") {
        kinds = &subway;
    } else if (kind == "ferry") {
        kinds = &ferry;
        reach = 0.002;
    }
    if (!kinds)
        return;
    // Position along the route: the nearest segment of the joined ways and
    // the place on it.
    std::vector<std::pair<double, const StopCandidate*>> found;
    for (const StopCandidate& stop : stops_) {
        if (!kinds->count(stop.kind))
            continue;
        double scale = std::cos(stop.point.latitude * M_PI / 180.0);
        double best = reach;
        std::optional<double> position;
        double base = 0;
        for (const auto& segment : path) {
            for (size_t i = 0; i + 1 < segment->count(); ++i) {
                auto a = segment->coordinateAtIndex(i);
                auto b = segment->coordinateAtIndex(i + 1);
                double ax = a.longitude * scale, ay = a.latitude;
                double dx = b.longitude * scale - ax, dy = b.latitude - ay;
                double px = stop.point.longitude * scale - ax, py = stop.point.latitude - ay;
                double length = dx * dx + dy * dy;
                double t = length > 0 ? std::clamp((px * dx + py * dy) / length, 0.0, 1.0) : 0.0;
                double distance = std::hypot(px - t * dx, py - t * dy);
                if (distance < best) {
                    best = distance;
                    position = base + static_cast<double>(i) + t;
                }
            }
            base += static_cast<double>(segment->count());
        }
        if (position)
            found.push_back({*position, &stop});
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    int64_t order = 1000000;
    for (const auto& [position, stop] : found) {
        auto info = context_->insertNewObjectForEntityForName("elementInfo");
        info->setValueForKey("order", Value(order++));
        info->setValueForKey("role", Value("stop"));
        info->setObjectForKey("element", stop->element);
        info->setObjectForKey("relation", route.shared_from_this());
        route.addObjectForKey("importantObjects", stop->object);
    }
}

void GeoStoreWriter::writeStopArea(const OsmRelation& relation) {
    auto row = context_->insertNewObjectForEntityForName("relation");
    if (auto name = tagValue(relation.tags, "name")) {
        row->setValueForKey("name", Value(*name));
        row->setValueForKey("displayName", Value(*name));
        row->setValueForKey("canonicalName", Value(CBGeoObject::canonicalNameForString(*name)));
    }
    row->addObjectForKey("tags", tagFor("relatedStops", "yes"));
    int64_t order = 0;
    for (const OsmMember& member : relation.members) {
        auto& elements = member.type == 'n' ? nodeElements_ : wayElements_;
        auto found = elements.find(member.ref);
        if (found == elements.end())
            continue;
        auto info = context_->insertNewObjectForEntityForName("elementInfo");
        info->setValueForKey("order", Value(order++));
        info->setValueForKey("role", Value(member.role));
        info->setObjectForKey("element", found->second);
        info->setObjectForKey("relation", row);
    }
    ++statistics_.relations;
}
