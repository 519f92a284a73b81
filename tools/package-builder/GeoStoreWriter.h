#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "CBGeoData/CBBoundingBox.h"
#include "OsmData.h"
#include "TileMath.h"
#include "TypeTable.h"

class NSManagedObject;
class NSManagedObjectContext;
class CBCoordinatePath;
class CBGeoCity;
class CBGeoElement;
class CBGeoMapTile;
class CBGeoNode;
class CBGeoObject;
class CBGeoTag;

// Turns OpenStreetMap data into the rows of a geo store through the geo
// entity classes: objects with tags, addresses and city, elements generalised
// per zoom level and listed in map tiles, and public-transport relations.
class GeoStoreWriter {
  public:
    // The zoom levels that carry map tiles; a deeper zoom draws the tiles of
    // its ancestor at the deepest of these.
    static const std::vector<int>& tileZoomLevels();

    struct Options {
        std::string countryCode;
        std::map<std::string, std::string> names;  // upper-case language code to name
    };

    struct Statistics {
        size_t objects = 0;
        size_t elements = 0;
        size_t mapTiles = 0;
        size_t tags = 0;
        size_t addresses = 0;
        size_t relations = 0;
        size_t nodes = 0;
    };

    GeoStoreWriter(const TypeTable& types, std::shared_ptr<NSManagedObjectContext> context,
                   Options options);
    ~GeoStoreWriter();

    // Inserts everything and saves; false with *error when the save fails.
    bool write(const OsmData& data, std::string* error);
    const Statistics& statistics() const { return statistics_; }
    bool hasTransitRoutes() const { return transitRoutes_ > 0; }

  private:
    using Rings = std::vector<std::vector<CLLocationCoordinate2D>>;
    struct Feature {
        const OsmTags* tags;
        TypeTable::Codes codes;
        Rings rings;  // empty for a point
        CLLocationCoordinate2D point;
        bool area = false;
        bool closed = false;
    };
    struct StreetGroup {
        std::shared_ptr<CBGeoObject> object;
        CBBoundingBox box;
    };
    struct StopCandidate {
        std::shared_ptr<CBGeoObject> object;
        std::shared_ptr<CBGeoElement> element;
        CLLocationCoordinate2D point;
        std::string kind;
    };
    // A tile wholly inside an area of a fill type; no area when two cover it.
    struct FillCandidate {
        TileMath::Tile tile;
        std::shared_ptr<CBGeoElement> area;
    };
    // Where an element draws: its box, and the anchor of its label or icon.
    struct Reach {
        CBBoundingBox box;
        std::optional<CLLocationCoordinate2D> anchor;
    };
    struct PendingAddress {
        std::shared_ptr<CBGeoObject> object;
        const OsmTags* tags;
        CLLocationCoordinate2D point;
    };

    void writeCity(const OsmData& data);
    void writeNode(const OsmNode& node);
    void writeWay(const OsmWay& way);
    void writeArea(const OsmArea& area);
    void writeAddresses();
    void writeRelations(const OsmData& data);
    void writeRoute(const OsmRelation& relation, const std::string& route);
    void writeStopArea(const OsmRelation& relation);
    // Stops of the route's kind near its ways, in travel order, for routes
    // that list no stops of their own.
    void addStopsAlongRoute(NSManagedObject& route, const std::string& kind,
                            const std::vector<std::shared_ptr<CBCoordinatePath>>& path);
    void writeFirstLetterTags();
    void countTags();

    // The elements of a feature, one per distinct generalisation, each in
    // the map tiles of its levels; the first is the full-detail element.
    std::vector<std::shared_ptr<CBGeoElement>> elementsForFeature(const Feature& feature);
    std::shared_ptr<CBGeoElement> newElement(const Feature& feature, const Rings& rings);
    void addToTiles(const std::shared_ptr<CBGeoElement>& element, const CBBoundingBox& box, int z,
                    const Feature& feature, const Rings& rings);
    static bool coversTile(CBCoordinatePath& outline, const Rings& rings,
                           const TileMath::Tile& tile);
    void markFillTiles();
    bool reachesInto(const NSManagedObject& element, const CBBoundingBox& tileBox, int z) const;
    static bool anchorReachesInto(CLLocationCoordinate2D anchor, const CBBoundingBox& tileBox,
                                  int z);
    std::shared_ptr<CBGeoMapTile> tileForQuadKey(uint64_t quadKey);
    std::shared_ptr<CBGeoObject> newObject(const Feature& feature);
    std::shared_ptr<CBGeoObject> streetObjectFor(const Feature& feature);
    void addTags(NSManagedObject& owner, const char* relationship, const OsmTags& tags);
    std::shared_ptr<CBGeoTag> tagFor(const std::string& key, const std::string& value);
    std::shared_ptr<CBGeoNode> nodeFor(int64_t osmID, CLLocationCoordinate2D point);
    void addNodes(CBGeoObject& object, const std::vector<int64_t>& ids,
                  const std::vector<CLLocationCoordinate2D>& points);
    bool wantsObject(const Feature& feature) const;

    const TypeTable& types_;
    std::shared_ptr<NSManagedObjectContext> context_;
    Options options_;
    Statistics statistics_;
    size_t transitRoutes_ = 0;
    std::shared_ptr<CBGeoCity> city_;
    std::map<std::pair<std::string, std::string>, std::shared_ptr<CBGeoTag>> tags_;
    std::unordered_map<int64_t, std::shared_ptr<CBGeoNode>> nodes_;
    std::unordered_map<uint64_t, std::shared_ptr<CBGeoMapTile>> tiles_;
    std::unordered_map<uint64_t, FillCandidate> fillCandidates_;
    std::unordered_map<const CBGeoElement*, Reach> reaches_;
    std::map<std::string, std::vector<StreetGroup>> streets_;
    std::unordered_map<int64_t, std::shared_ptr<CBGeoElement>> nodeElements_;
    std::unordered_map<int64_t, std::shared_ptr<CBGeoObject>> nodeObjects_;
    std::unordered_map<int64_t, std::shared_ptr<CBGeoElement>> wayElements_;
    std::unordered_map<int64_t, std::shared_ptr<CBGeoObject>> wayObjects_;
    std::unordered_map<int64_t, const OsmWay*> waysByID_;
    std::vector<PendingAddress> addresses_;
    std::vector<StopCandidate> stops_;
    std::vector<std::shared_ptr<CBGeoObject>> objects_;
};
