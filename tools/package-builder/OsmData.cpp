#include "OsmData.h"

#include <exception>
#include <filesystem>

#include <osmium/area/assembler.hpp>
#include <osmium/area/multipolygon_manager.hpp>
#include <osmium/handler.hpp>
#include <osmium/handler/node_locations_for_ways.hpp>
#include <osmium/index/map/flex_mem.hpp>
#include <osmium/io/any_input.hpp>
#include <osmium/relations/relations_manager.hpp>
#include <osmium/tags/tags_filter.hpp>
#include <osmium/visitor.hpp>

namespace {

using LocationIndex =
    osmium::index::map::FlexMem<osmium::unsigned_object_id_type, osmium::Location>;

// Keys that describe the data's history rather than the place.
bool isNoiseKey(const std::string& key) {
    static const char* prefixes[] = {"source",     "note",    "fixme",  "FIXME",
                                     "created_by", "tiger:",  "osak:",  "attribution",
                                     "import",     "history", "comment"};
    for (const char* prefix : prefixes) {
        if (key.rfind(prefix, 0) == 0)
            return true;
    }
    return false;
}

OsmTags tagsOf(const osmium::TagList& list) {
    OsmTags tags;
    for (const osmium::Tag& tag : list) {
        if (!isNoiseKey(tag.key()))
            tags.emplace(tag.key(), tag.value());
    }
    return tags;
}

CLLocationCoordinate2D pointOf(const osmium::Location& location) {
    return {location.lat(), location.lon()};
}

class Collector : public osmium::handler::Handler {
  public:
    explicit Collector(OsmData& data) : data_(data) {}

    void node(const osmium::Node& node) {
        ++data_.nodeCount;
        if (!node.location().valid())
            return;
        bounds_.extend(node.location());
        OsmTags tags = tagsOf(node.tags());
        if (!tags.empty())
            data_.nodes.push_back({node.id(), pointOf(node.location()), std::move(tags)});
    }

    void way(const osmium::Way& way) {
        OsmTags tags = tagsOf(way.tags());
        if (tags.empty())
            return;
        OsmWay stored{way.id(), std::move(tags), {}, {}};
        for (const osmium::NodeRef& ref : way.nodes()) {
            if (!ref.location().valid())
                continue;
            stored.nodeIds.push_back(ref.ref());
            stored.points.push_back(pointOf(ref.location()));
        }
        if (stored.points.size() >= 2)
            data_.ways.push_back(std::move(stored));
    }

    void relation(const osmium::Relation& relation) {
        OsmRelation stored{relation.id(), tagsOf(relation.tags()), {}};
        auto type = stored.tags.find("type");
        if (type != stored.tags.end() &&
            (type->second == "multipolygon" || type->second == "boundary"))
            return;
        for (const osmium::RelationMember& member : relation.members()) {
            char kind = member.type() == osmium::item_type::node  ? 'n'
                        : member.type() == osmium::item_type::way ? 'w'
                                                                  : 'r';
            stored.members.push_back({kind, member.ref(), member.role()});
        }
        data_.relations.push_back(std::move(stored));
    }

    void area(const osmium::Area& area) {
        // Closed ways are handled as ways; only multipolygon relations come from here.
        if (area.from_way())
            return;
        OsmArea stored{area.orig_id(), tagsOf(area.tags()), {}};
        for (const osmium::OuterRing& outer : area.outer_rings()) {
            std::vector<CLLocationCoordinate2D> ring;
            for (const osmium::NodeRef& ref : outer)
                ring.push_back(pointOf(ref.location()));
            stored.rings.push_back(std::move(ring));
            for (const osmium::InnerRing& inner : area.inner_rings(outer)) {
                std::vector<CLLocationCoordinate2D> hole;
                for (const osmium::NodeRef& ref : inner)
                    hole.push_back(pointOf(ref.location()));
                stored.rings.push_back(std::move(hole));
            }
        }
        if (!stored.rings.empty())
            data_.areas.push_back(std::move(stored));
    }

    osmium::Box bounds_;

  private:
    OsmData& data_;
};

}  // namespace

std::optional<OsmData> OsmData::dataWithContentsOfFile(const std::string& path,
                                                       std::string* error) {
    std::error_code ignored;
    if (!std::filesystem::is_regular_file(path, ignored)) {
        *error = "no such file";
        return std::nullopt;
    }
    if (std::filesystem::file_size(path, ignored) == 0) {
        *error = "the file is empty";
        return std::nullopt;
    }
    OsmData data;
    try {
        osmium::io::File file(path);
        // Only relations whose tags say what they are become areas.
        osmium::TagsFilter filter(false);
        for (const char* key : {"building", "landuse", "natural", "leisure", "waterway", "amenity",
                                "aeroway", "man_made", "place", "tourism", "area"})
            filter.add_rule(true, osmium::TagMatcher(key));
        osmium::area::Assembler::config_type config;
        osmium::area::MultipolygonManager<osmium::area::Assembler> multipolygons(config, filter);
        osmium::relations::read_relations(file, multipolygons);

        LocationIndex index;
        osmium::handler::NodeLocationsForWays<LocationIndex> locations(index);
        locations.ignore_errors();
        Collector collector(data);
        osmium::io::Reader reader(file, osmium::io::read_meta::no);
        osmium::Box header = reader.header().box();
        osmium::apply(reader, locations, collector,
                      multipolygons.handler([&collector](osmium::memory::Buffer&& buffer) {
                          osmium::apply(buffer, collector);
                      }));
        reader.close();
        if (data.nodeCount == 0) {
            *error = "the file holds no nodes";
            return std::nullopt;
        }
        osmium::Box box = header.valid() ? header : collector.bounds_;
        data.bounds = CBBoundingBox({box.top_right().lat(), box.top_right().lon()},
                                    {box.bottom_left().lat(), box.bottom_left().lon()});
    } catch (const std::exception& exception) {
        *error = exception.what();
        return std::nullopt;
    }
    return data;
}
