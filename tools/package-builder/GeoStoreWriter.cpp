#include "GeoStoreWriter.h"

#include <algorithm>
#include <cmath>

#include "CBGeoData/CBCoordinatePath.h"
#include "CBGeoData/CBGeoCity.h"
#include "CBGeoData/CBGeoElement.h"
#include "CBGeoData/CBGeoMapTile.h"
#include "CBGeoData/CBGeoNode.h"
#include "CBGeoData/CBGeoNodeInfo.h"
#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBGeoTag.h"
#include "CoreData/NSManagedObjectContext.h"
#include "Generalizer.h"
#include "OpeningHours.h"
#include "StopKinds.h"
#include "TileMath.h"

namespace {

// Below this many screen pixels an area or line is not drawn at a level.
constexpr double kSmallestDrawnPixels = 2.0;
// Streets of one name closer than this (degrees) are one street object.
constexpr double kStreetMergeDistance = 0.005;
// How far a stroke (the widest road with its casing) and a label or icon
// around its anchor reach beyond an element's box, in pixels of a 256-pixel
// tile; the renderer draws the anchors of the tiles around within half a tile.
constexpr double kLineReachPixels = 24;
constexpr double kAnchorReachPixels = 128;
// Objects with one address this close (metres) share the address's row.
constexpr double kSharedAddressDistance = 50;
// The key of the tags of first letters the city guide lists.
constexpr const char* kFirstLetterTagKey = "firstLetter";

std::optional<std::string> tagValue(const OsmTags& tags, const char* key) {
    auto found = tags.find(key);
    if (found == tags.end())
        return std::nullopt;
    return found->second;
}

bool isYes(const std::optional<std::string>& value) {
    return value && *value != "no" && *value != "0" && *value != "false";
}

CBBoundingBox boxOfRings(const std::vector<std::vector<CLLocationCoordinate2D>>& rings) {
    CBBoundingBox box;
    for (const auto& ring : rings) {
        for (const auto& point : ring)
            box.growToIncludeCoordinate(point);
    }
    return box;
}

// Closed intervals: a straight east-west way has a box of no height.
bool boxesOverlap(const CBBoundingBox& a, const CBBoundingBox& b) {
    return a.SW().latitude <= b.NE().latitude && b.SW().latitude <= a.NE().latitude &&
           a.SW().longitude <= b.NE().longitude && b.SW().longitude <= a.NE().longitude;
}

// The box grown by a number of screen pixels at zoom z on every side (in
// degrees of longitude for both axes: a degree of latitude spans more pixels
// in web mercator, so the margin north and south is ample).
CBBoundingBox paddedBox(const CBBoundingBox& box, double pixels, int z) {
    const double margin = pixels / TileMath::pixelsPerDegree(z);
    return CBBoundingBox({box.NE().latitude + margin, box.NE().longitude + margin},
                         {box.SW().latitude - margin, box.SW().longitude - margin});
}

int layerOf(const OsmTags& tags) {
    if (auto layer = tagValue(tags, "layer")) {
        char* end = nullptr;
        long value = std::strtol(layer->c_str(), &end, 10);
        if (end != layer->c_str())
            return static_cast<int>(std::clamp(value, -5L, 5L));
    }
    if (isYes(tagValue(tags, "bridge")))
        return 1;
    if (isYes(tagValue(tags, "tunnel")))
        return -1;
    return 0;
}

int onewayOf(const OsmTags& tags) {
    auto oneway = tagValue(tags, "oneway");
    if (oneway == "-1" || oneway == "reverse")
        return -1;
    if (oneway == "yes" || oneway == "true" || oneway == "1")
        return 1;
    if (oneway == "no")
        return 0;
    auto highway = tagValue(tags, "highway");
    if (highway == "motorway" || highway == "motorway_link" ||
        tagValue(tags, "junction") == "roundabout")
        return 1;
    return 0;
}

// The name is the object's own attribute and the web site its "url" tag: as
// tags they would show twice in a place's list.
bool isStoredElsewhere(const std::string& key) {
    return key == "name" || key == "website" || key == "contact:website";
}

// Metres between two nearby points (the earth as flat there).
double metresBetween(CLLocationCoordinate2D a, CLLocationCoordinate2D b) {
    constexpr double kMetresPerDegree = 111320.0;
    const double north = (a.latitude - b.latitude) * kMetresPerDegree;
    const double east = (a.longitude - b.longitude) * kMetresPerDegree *
                        std::cos((a.latitude + b.latitude) / 2 * M_PI / 180);
    return std::hypot(north, east);
}

}  // namespace

const std::vector<int>& GeoStoreWriter::tileZoomLevels() {
    static const std::vector<int> levels = {8, 10, 12, 13, 14, 15, 16};
    return levels;
}

GeoStoreWriter::GeoStoreWriter(const TypeTable& types,
                               std::shared_ptr<NSManagedObjectContext> context, Options options)
    : types_(types), context_(std::move(context)), options_(std::move(options)) {}

GeoStoreWriter::~GeoStoreWriter() = default;

bool GeoStoreWriter::write(const OsmData& data, std::string* error) {
    writeCity(data);
    for (const OsmWay& way : data.ways)
        waysByID_[way.id] = &way;
    for (const OsmNode& node : data.nodes)
        writeNode(node);
    for (const OsmWay& way : data.ways)
        writeWay(way);
    for (const OsmArea& area : data.areas)
        writeArea(area);
    markFillTiles();
    writeAddresses();
    writeRelations(data);
    writeFirstLetterTags();
    countTags();
    statistics_.objects = objects_.size();
    statistics_.mapTiles = tiles_.size();
    statistics_.tags = tags_.size();
    statistics_.nodes = nodes_.size();
    NSError saveError;
    if (!context_->save(&saveError)) {
        *error = "the geo store could not be saved: " + saveError.localizedDescription();
        return false;
    }
    return true;
}

void GeoStoreWriter::writeCity(const OsmData& data) {
    auto city = context_->insertNewObjectForEntityForName(CBGeoCity::kEntityName);
    city_ = std::dynamic_pointer_cast<CBGeoCity>(city);
    city->setValueForKey("countryCode", Value(options_.countryCode));
    city->setValueForKey("NELatitude", Value(data.bounds.NE().latitude));
    city->setValueForKey("NELongitude", Value(data.bounds.NE().longitude));
    city->setValueForKey("SWLatitude", Value(data.bounds.SW().latitude));
    city->setValueForKey("SWLongitude", Value(data.bounds.SW().longitude));
    for (const auto& [language, name] : options_.names) {
        auto record = context_->insertNewObjectForEntityForName(CBGeoCity::kNameEntityName);
        record->setValueForKey("lang", Value(language));
        record->setValueForKey("name", Value(name));
        city_->addLocalizedName(record);
    }
}

bool GeoStoreWriter::wantsObject(const Feature& feature) const {
    const OsmTags& tags = *feature.tags;
    if (tags.count("name") || tags.count("addr:housenumber") || stopKindOf(tags))
        return true;
    auto type = feature.codes.typeID;
    // Places of interest and places are objects even without a name.
    return type && *type >= 400 && *type < 800;
}

void GeoStoreWriter::writeNode(const OsmNode& node) {
    Feature feature{&node.tags, types_.codesForTags(node.tags), {}, node.point};
    if (!wantsObject(feature))
        return;
    auto object = newObject(feature);
    auto elements = elementsForFeature(feature);
    for (const auto& element : elements)
        object->addElement(element);
    nodeElements_[node.id] = elements.front();
    nodeObjects_[node.id] = object;
    if (auto kind = stopKindOf(node.tags))
        stops_.push_back({object, elements.front(), node.point, *kind});
    if (object->name())
        object->addObjectForKey("nodes", nodeFor(node.id, node.point));
    if (node.tags.count("addr:housenumber"))
        addresses_.push_back({object, &node.tags, node.point});
    if (auto place = tagValue(node.tags, "place"); place && tagValue(node.tags, "name")) {
        if (*place == "city" || *place == "town" || *place == "village" || *place == "suburb") {
            auto location = context_->insertNewObjectForEntityForName("cityLocation");
            location->setValueForKey("name", Value(*tagValue(node.tags, "name")));
            location->setValueForKey("latitude", Value(node.point.latitude));
            location->setValueForKey("longitude", Value(node.point.longitude));
            city_->addObjectForKey("locations", location);
        }
    }
}

void GeoStoreWriter::writeWay(const OsmWay& way) {
    Feature feature{&way.tags, types_.codesForTags(way.tags), {way.points}, {}};
    feature.closed = way.closed();
    bool building = isYes(tagValue(way.tags, "building"));
    feature.area = feature.closed && tagValue(way.tags, "area") != "no" &&
                   (feature.codes.area || building || isYes(tagValue(way.tags, "area")));
    if (feature.area)
        feature.point = boxOfRings(feature.rings).centerCoordinate();
    else
        feature.point = way.points[way.points.size() / 2];
    if (!feature.codes.any() && !wantsObject(feature))
        return;
    auto elements = elementsForFeature(feature);
    wayElements_[way.id] = elements.front();
    if (!wantsObject(feature))
        return;
    std::shared_ptr<CBGeoObject> object;
    bool street = feature.codes.highwayID && way.tags.count("name") && !feature.area;
    object = street ? streetObjectFor(feature) : newObject(feature);
    for (const auto& element : elements)
        object->addElement(element);
    wayObjects_[way.id] = object;
    if (object->name()) {
        addNodes(*object, way.nodeIds, way.points);
        if (street) {
            for (size_t i = 0; i < way.nodeIds.size(); ++i) {
                auto info = CBGeoNodeInfo::nodeInfoWithNodeWithOrderInContext(
                    nodeFor(way.nodeIds[i], way.points[i]), static_cast<int64_t>(i), context_);
                elements.front()->addObjectForKey("nodeInfos", info);
            }
        }
    }
    if (way.tags.count("addr:housenumber"))
        addresses_.push_back({object, &way.tags, feature.point});
}

void GeoStoreWriter::writeArea(const OsmArea& area) {
    Feature feature{&area.tags, types_.codesForTags(area.tags), area.rings, {}};
    feature.area = true;
    feature.closed = true;
    feature.point = boxOfRings(area.rings).centerCoordinate();
    if (!feature.codes.any() && !wantsObject(feature))
        return;
    auto elements = elementsForFeature(feature);
    if (!wantsObject(feature))
        return;
    auto object = newObject(feature);
    for (const auto& element : elements)
        object->addElement(element);
    if (object->name())
        object->addObjectForKey("nodes", nodeFor(-area.relationId, feature.point));
    if (area.tags.count("addr:housenumber"))
        addresses_.push_back({object, &area.tags, feature.point});
}

std::shared_ptr<CBGeoObject> GeoStoreWriter::newObject(const Feature& feature) {
    auto object = CBGeoObject::objectInContext(context_);
    // Package objects carry no creation time: "recent" objects are the user's.
    object->setValueForKey("timestamp", Value());
    const OsmTags& tags = *feature.tags;
    if (auto name = tagValue(tags, "name")) {
        object->updateNameAndCanonicalNameForString(*name);
        object->calculateFirstTwoLettersOfName();
    }
    const auto& codes = feature.codes;
    auto type = codes.typeID ? codes.typeID : codes.highwayID ? codes.highwayID : codes.railwayID;
    if (type)
        object->setValueForKey("typeID", Value(*type));
    object->setValueForKey("latitude", Value(feature.point.latitude));
    object->setValueForKey("longitude", Value(feature.point.longitude));
    object->setObjectForKey("city", city_);
    addTags(*object, "tags", tags);
    // Contact cards read a place's web site from "url".
    if (!tags.count("url")) {
        auto site = tagValue(tags, "website");
        if (!site)
            site = tagValue(tags, "contact:website");
        if (site)
            object->addTag(tagFor("url", *site));
    }
    if (auto stop = stopKindOf(tags))
        object->addTag(tagFor("pubtrans", *stop));
    objects_.push_back(object);
    return object;
}

std::shared_ptr<CBGeoObject> GeoStoreWriter::streetObjectFor(const Feature& feature) {
    CBBoundingBox box = boxOfRings(feature.rings);
    auto& groups = streets_[*tagValue(*feature.tags, "name")];
    for (auto& group : groups) {
        CBBoundingBox near = group.box;
        near.setNE({near.NE().latitude + kStreetMergeDistance,
                    near.NE().longitude + kStreetMergeDistance});
        near.setSW({near.SW().latitude - kStreetMergeDistance,
                    near.SW().longitude - kStreetMergeDistance});
        if (boxesOverlap(near, box)) {
            group.box.growToIncludeCoordinate(box.NE());
            group.box.growToIncludeCoordinate(box.SW());
            return group.object;
        }
    }
    auto object = newObject(feature);
    groups.push_back({object, box});
    return object;
}

void GeoStoreWriter::addTags(NSManagedObject& owner, const char* relationship,
                             const OsmTags& tags) {
    for (const auto& [key, value] : tags) {
        if (key.rfind("addr:", 0) == 0 || isStoredElsewhere(key))
            continue;
        std::string stored =
            CBGeoTag::translatesOpeningHourAttributeForKey(key) ? storedOpeningHours(value) : value;
        owner.addObjectForKey(relationship, tagFor(key, stored));
    }
}

std::shared_ptr<CBGeoTag> GeoStoreWriter::tagFor(const std::string& key, const std::string& value) {
    auto& tag = tags_[{key, value}];
    if (!tag)
        tag = CBGeoTag::tagWithKeyAndAttributeInContext(key, value, context_);
    return tag;
}

std::shared_ptr<CBGeoNode> GeoStoreWriter::nodeFor(int64_t osmID, CLLocationCoordinate2D point) {
    auto& node = nodes_[osmID];
    if (!node) {
        node = CBGeoNode::nodeWithLatitudeAndLongitudeInContext(point.latitude, point.longitude,
                                                                context_);
        if (osmID > 0)
            node->setValueForKey("osmID", Value(osmID));
    }
    return node;
}

void GeoStoreWriter::addNodes(CBGeoObject& object, const std::vector<int64_t>& ids,
                              const std::vector<CLLocationCoordinate2D>& points) {
    for (size_t i = 0; i < ids.size(); ++i)
        object.addObjectForKey("nodes", nodeFor(ids[i], points[i]));
}

std::vector<std::shared_ptr<CBGeoElement>> GeoStoreWriter::elementsForFeature(
    const Feature& feature) {
    std::vector<std::shared_ptr<CBGeoElement>> elements;
    int minZoom = feature.codes.any() ? feature.codes.minZoom : 99;
    if (feature.rings.empty()) {
        auto element = newElement(feature, {});
        elements.push_back(element);
        CBBoundingBox box(feature.point, feature.point);
        for (int z : tileZoomLevels()) {
            if (z >= minZoom)
                addToTiles(element, box, z, feature, {});
        }
        return elements;
    }
    // From the finest level down: a level whose generalised path keeps as
    // many points as the finer one shares its element.
    const auto& levels = tileZoomLevels();
    size_t previousCount = 0;
    std::shared_ptr<CBGeoElement> current;
    for (auto level = levels.rbegin(); level != levels.rend(); ++level) {
        int z = *level;
        bool finest = level == levels.rbegin();
        if (z < minZoom && !finest)
            break;
        double tolerance = finest ? 0.0 : 0.5 / TileMath::pixelsPerDegree(z);
        Rings rings;
        size_t count = 0;
        for (const auto& ring : feature.rings) {
            auto simplified = simplifiedCoordinates(ring, tolerance);
            if (simplified.size() < (feature.area ? 4u : 2u))
                continue;
            count += simplified.size();
            rings.push_back(std::move(simplified));
        }
        if (rings.empty())
            break;
        CBBoundingBox box = boxOfRings(rings);
        double extent =
            std::max(box.latitudeSpan(), box.longitudeSpan()) * TileMath::pixelsPerDegree(z);
        if (!finest && extent < kSmallestDrawnPixels)
            break;
        if (!current || count != previousCount) {
            current = newElement(feature, rings);
            elements.push_back(current);
            previousCount = count;
        }
        if (z >= minZoom)
            addToTiles(current, box, z, feature, rings);
    }
    return elements;
}

std::shared_ptr<CBGeoElement> GeoStoreWriter::newElement(const Feature& feature,
                                                         const Rings& rings) {
    std::shared_ptr<CBGeoElement> element;
    if (rings.empty()) {
        element = CBGeoElement::simpleElementInContextWithCoordinate(context_, feature.point);
    } else {
        element = CBGeoElement::elementInContext(context_);
        auto path = std::make_shared<CBCoordinatePath>(rings.size());
        for (size_t segment = 0; segment < rings.size(); ++segment) {
            path->setupPathForSegmentWithNumberOfCoordinates(segment, rings[segment].size());
            for (size_t i = 0; i < rings[segment].size(); ++i)
                path->setCoordinateAtIndexOfSegment(rings[segment][i], i, segment);
        }
        element->setPath(path);
        if (feature.area) {
            element->setValueForKey("latitude", Value(feature.point.latitude));
            element->setValueForKey("longitude", Value(feature.point.longitude));
        }
    }
    const auto& codes = feature.codes;
    const OsmTags& tags = *feature.tags;
    if (codes.typeID)
        element->setValueForKey("typeID", Value(*codes.typeID));
    if (codes.highwayID)
        element->setValueForKey("highwayID", Value(*codes.highwayID));
    if (codes.bikeID)
        element->setValueForKey("bikeID", Value(*codes.bikeID));
    if (codes.railwayID)
        element->setValueForKey("railwayID", Value(*codes.railwayID));
    int64_t architecture = 0;
    if (feature.area)
        architecture |= CBGeoElement::kArea;
    if (isYes(tagValue(tags, "building")))
        architecture |= CBGeoElement::kBuilding;
    if (isYes(tagValue(tags, "bridge")))
        architecture |= CBGeoElement::kBridge;
    if (isYes(tagValue(tags, "tunnel")))
        architecture |= CBGeoElement::kTunnel;
    if (feature.closed)
        architecture |= CBGeoElement::kClosed;
    element->setValueForKey("architecture", Value(architecture));
    element->setValueForKey("layerIndex", Value(layerOf(tags)));
    if (int oneway = onewayOf(tags))
        element->setValueForKey("oneway", Value(oneway));
    if (auto ref = tagValue(tags, "ref"))
        element->setValueForKey("ref", Value(*ref));
    if (auto name = tagValue(tags, "name"))
        element->setValueForKey("name", Value(*name));
    ++statistics_.elements;
    return element;
}

void GeoStoreWriter::addToTiles(const std::shared_ptr<CBGeoElement>& element,
                                const CBBoundingBox& box, int z, const Feature& feature,
                                const Rings& rings) {
    auto northWest = TileMath::tileForCoordinate(box.NE().latitude, box.SW().longitude, z);
    auto southEast = TileMath::tileForCoordinate(box.SW().latitude, box.NE().longitude, z);
    Reach& reach = reaches_[element.get()];
    reach.box = box;
    if (feature.tags->count("name") ||
        (feature.codes.typeID && *feature.codes.typeID >= 400 && *feature.codes.typeID < 800))
        reach.anchor = feature.point;
    std::shared_ptr<CBCoordinatePath> outline;
    if (feature.area && feature.codes.fill && feature.codes.typeID)
        outline = element->path();
    for (int64_t x = northWest.x; x <= southEast.x; ++x) {
        for (int64_t y = northWest.y; y <= southEast.y; ++y) {
            TileMath::Tile tile{x, y, z};
            const uint64_t quadKey = TileMath::quadKey(tile);
            tileForQuadKey(quadKey)->addObjectForKey("elements", element);
            if (outline && coversTile(*outline, rings, tile)) {
                auto [candidate, added] =
                    fillCandidates_.try_emplace(quadKey, FillCandidate{tile, element});
                if (!added)
                    candidate->second.area = nullptr;  // two areas: no single fill
            }
        }
    }
}

// Whether the area covers the tile and the reach of its own outline's stroke
// around it, with no vertex inside.
bool GeoStoreWriter::coversTile(CBCoordinatePath& outline, const Rings& rings,
                                const TileMath::Tile& tile) {
    const CBBoundingBox tileBox = paddedBox(TileMath::boxOfTile(tile), kLineReachPixels, tile.z);
    if (!outline.containsCoordinate(tileBox.NE()) || !outline.containsCoordinate(tileBox.SW()) ||
        !outline.containsCoordinate({tileBox.NE().latitude, tileBox.SW().longitude}) ||
        !outline.containsCoordinate({tileBox.SW().latitude, tileBox.NE().longitude}))
        return false;
    for (const auto& ring : rings) {
        for (const auto& point : ring) {
            if (point.latitude > tileBox.SW().latitude && point.latitude < tileBox.NE().latitude &&
                point.longitude > tileBox.SW().longitude &&
                point.longitude < tileBox.NE().longitude)
                return false;
        }
    }
    return true;
}

// A tile is painted by its area's fill alone only when nothing else draws
// into it: its row holds only that area, and no element of the tiles around
// reaches in with its stroke or with its label or icon.
void GeoStoreWriter::markFillTiles() {
    for (const auto& [quadKey, candidate] : fillCandidates_) {
        if (!candidate.area)
            continue;
        const auto& own = tiles_.at(quadKey)->objectsForKey("elements");
        if (own.size() != 1 || own.front() != candidate.area)
            continue;
        const TileMath::Tile& tile = candidate.tile;
        const CBBoundingBox tileBox = TileMath::boxOfTile(tile);
        // The area's own outline lies beyond the tile (coversTile); only its
        // label or icon may reach in.
        const auto& areaReach = reaches_.at(candidate.area.get());
        bool alone = !areaReach.anchor || !anchorReachesInto(*areaReach.anchor, tileBox, tile.z);
        for (int64_t dy = -1; alone && dy <= 1; ++dy) {
            for (int64_t dx = -1; alone && dx <= 1; ++dx) {
                auto neighbour = tiles_.find(TileMath::quadKey({tile.x + dx, tile.y + dy, tile.z}));
                if ((!dx && !dy) || neighbour == tiles_.end())
                    continue;
                for (const auto& element : neighbour->second->objectsForKey("elements")) {
                    if (element != candidate.area && reachesInto(*element, tileBox, tile.z)) {
                        alone = false;
                        break;
                    }
                }
            }
        }
        if (alone)
            tiles_.at(quadKey)->setValueForKey("fillTypeID", Value(*candidate.area->typeID()));
    }
}

bool GeoStoreWriter::reachesInto(const NSManagedObject& element, const CBBoundingBox& tileBox,
                                 int z) const {
    auto reach = reaches_.find(static_cast<const CBGeoElement*>(&element));
    if (reach == reaches_.end())
        return true;
    if (boxesOverlap(paddedBox(reach->second.box, kLineReachPixels, z), tileBox))
        return true;
    return reach->second.anchor && anchorReachesInto(*reach->second.anchor, tileBox, z);
}

bool GeoStoreWriter::anchorReachesInto(CLLocationCoordinate2D anchor, const CBBoundingBox& tileBox,
                                       int z) {
    return boxesOverlap(paddedBox(CBBoundingBox(anchor, anchor), kAnchorReachPixels, z), tileBox);
}

std::shared_ptr<CBGeoMapTile> GeoStoreWriter::tileForQuadKey(uint64_t quadKey) {
    auto& tile = tiles_[quadKey];
    if (!tile)
        tile = CBGeoMapTile::mapTileWithQuadKeyNumberInContext(static_cast<int64_t>(quadKey),
                                                               context_);
    return tile;
}

// Every object at one address shares its row: the same street and house
// number, the same post code (a missing one matches), within
// kSharedAddressDistance of where the row was first seen. A street at that
// address then lists them all, and the search finds the address once.
void GeoStoreWriter::writeAddresses() {
    struct Row {
        std::shared_ptr<NSManagedObject> address;
        std::optional<std::string> zipCode;
        CLLocationCoordinate2D point;
    };
    std::map<std::pair<std::string, std::string>, std::vector<Row>> rows;
    for (const PendingAddress& pending : addresses_) {
        const OsmTags& tags = *pending.tags;
        const auto street = tagValue(tags, "addr:street");
        const auto number = tagValue(tags, "addr:housenumber");
        const auto zipCode = tagValue(tags, "addr:postcode");
        std::vector<Row>* sameNumber = nullptr;
        if (street && number) {
            sameNumber = &rows[{*street, *number}];
            auto shared = std::find_if(sameNumber->begin(), sameNumber->end(), [&](const Row& row) {
                return (!row.zipCode || !zipCode || row.zipCode == zipCode) &&
                       metresBetween(row.point, pending.point) <= kSharedAddressDistance;
            });
            if (shared != sameNumber->end()) {
                // What one object's tags leave out, another's may give.
                if (!shared->zipCode && zipCode) {
                    shared->address->setValueForKey("zipCode", Value(*zipCode));
                    shared->zipCode = zipCode;
                }
                if (auto city = tagValue(tags, "addr:city");
                    city && !shared->address->stringForKey("city"))
                    shared->address->setValueForKey("city", Value(*city));
                pending.object->addAddress(shared->address);
                continue;
            }
        }
        auto address = context_->insertNewObjectForEntityForName("address");
        auto set = [&](const char* key, const char* osmKey) {
            if (auto value = tagValue(tags, osmKey))
                address->setValueForKey(key, Value(*value));
        };
        set("street", "addr:street");
        set("houseNumber", "addr:housenumber");
        set("zipCode", "addr:postcode");
        set("city", "addr:city");
        address->setValueForKey("latitude", Value(pending.point.latitude));
        address->setValueForKey("longitude", Value(pending.point.longitude));
        pending.object->addAddress(address);
        ++statistics_.addresses;
        if (sameNumber)
            sameNumber->push_back({address, zipCode, pending.point});
        auto groups = street ? streets_.find(*street) : streets_.end();
        if (groups == streets_.end())
            continue;
        // The street of that name nearest to the address.
        const StreetGroup* nearest = nullptr;
        double best = 0;
        for (const auto& group : groups->second) {
            auto centre = group.box.centerCoordinate();
            double distance = std::fabs(centre.latitude - pending.point.latitude) +
                              std::fabs(centre.longitude - pending.point.longitude);
            if (!nearest || distance < best) {
                nearest = &group;
                best = distance;
            }
        }
        if (nearest && nearest->object != pending.object)
            nearest->object->addAddress(address);
    }
}

// The city guide's index of first letters: one tag per first letter of the
// named objects, on those objects, counted like every other tag.
void GeoStoreWriter::writeFirstLetterTags() {
    for (const auto& object : objects_) {
        if (!object->name())
            continue;
        if (auto letter = object->firstLetterOfName(); letter && !letter->empty())
            object->addTag(tagFor(kFirstLetterTagKey, *letter));
    }
}

void GeoStoreWriter::countTags() {
    std::map<const CBGeoTag*, std::pair<int64_t, int64_t>> counts;
    for (const auto& object : objects_) {
        bool named = object->name().has_value();
        for (const auto& member : object->objectsForKey("tags")) {
            auto& count = counts[static_cast<const CBGeoTag*>(member.get())];
            ++count.first;
            if (named)
                ++count.second;
        }
    }
    for (const auto& [pair, tag] : tags_) {
        auto count = counts[tag.get()];
        tag->setValueForKey("total", Value(count.first));
        tag->setValueForKey("totalNamed", Value(count.second));
    }
}
