#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "CBGeoData/CBBoundingBox.h"
#include "CoreLocation/CLLocationCoordinate2D.h"
#include "TypeTable.h"

// What the builder uses of an OpenStreetMap file: tagged nodes, tagged ways
// with their coordinates, areas assembled from multipolygon relations, and
// the other relations with their members.
struct OsmNode {
    int64_t id;
    CLLocationCoordinate2D point;
    OsmTags tags;
};

struct OsmWay {
    int64_t id;
    OsmTags tags;
    std::vector<int64_t> nodeIds;
    std::vector<CLLocationCoordinate2D> points;
    bool closed() const { return nodeIds.size() >= 4 && nodeIds.front() == nodeIds.back(); }
};

struct OsmArea {
    int64_t relationId;
    OsmTags tags;
    std::vector<std::vector<CLLocationCoordinate2D>> rings;  // outer and inner rings
};

struct OsmMember {
    char type;  // 'n', 'w' or 'r'
    int64_t ref;
    std::string role;
};

struct OsmRelation {
    int64_t id;
    OsmTags tags;
    std::vector<OsmMember> members;
};

struct OsmData {
    std::vector<OsmNode> nodes;
    std::vector<OsmWay> ways;
    std::vector<OsmArea> areas;
    std::vector<OsmRelation> relations;
    CBBoundingBox bounds;  // the file's header box, else the box of its nodes
    size_t nodeCount = 0;  // every node read, tagged or not

    // nullopt and *error for a file libosmium cannot read or one without nodes.
    static std::optional<OsmData> dataWithContentsOfFile(const std::string& path,
                                                         std::string* error);
};
