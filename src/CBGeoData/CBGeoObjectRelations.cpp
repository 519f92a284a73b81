// The relations of a geo object: routes that serve it, its public-transport
// family and the stops related to it.
#include <algorithm>
#include <set>

#include "CBGeoData/CBGeoElement.h"
#include "CBGeoData/CBGeoElementInfo.h"
#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBGeoRelation.h"
#include "CBGeoData/CBGeoTag.h"

namespace {

using Relations = std::vector<std::shared_ptr<CBGeoRelation>>;

bool hasTag(CBGeoRelation& relation, const std::optional<std::string>& key,
            const std::optional<std::string>& attribute) {
    for (const auto& tag : relation.tags()) {
        if ((!key || tag->key() == *key) && (!attribute || tag->attribute() == *attribute))
            return true;
    }
    return false;
}

bool hasAttributeIn(CBGeoRelation& relation, const std::vector<std::string>& attributes) {
    for (const auto& tag : relation.tags()) {
        if (std::find(attributes.begin(), attributes.end(), tag->attribute()) != attributes.end())
            return true;
    }
    return false;
}

}  // namespace

const std::vector<std::string>& CBGeoObject::pubTransAttributesOfType(int type) {
    static const std::vector<std::string> tram = {"tram",      "subway",    "monorail",
                                                  "funicular", "tram_stop", "halt"};
    static const std::vector<std::string> train = {"train", "light_rail", "station"};
    static const std::vector<std::string> bus = {"bus", "trolleybus", "bus_stop", "bus_station"};
    static const std::vector<std::string> ferry = {"ferry", "ferry_terminal"};
    static const std::vector<std::string> none;
    switch (type) {
        case kPubTransTramLike:
            return tram;
        case kPubTransTrainLike:
            return train;
        case kPubTransBusLike:
            return bus;
        case kPubTransFerryLike:
            return ferry;
        default:
            return none;
    }
}

std::optional<Relations> CBGeoObject::allRelations() {
    Relations result;
    std::set<const CBGeoRelation*> seen;
    for (const auto& element : elements()) {
        for (const auto& member : element->objectsForKey("elementInfos")) {
            auto info = std::dynamic_pointer_cast<CBGeoElementInfo>(member);
            auto relation = info ? info->relation() : nullptr;
            if (relation && seen.insert(relation.get()).second)
                result.push_back(relation);
        }
    }
    if (result.empty())
        return std::nullopt;
    return result;
}

std::optional<Relations> CBGeoObject::allRelationsTaggedWithKeyAndAttribute(
    const std::optional<std::string>& key, const std::optional<std::string>& attribute) {
    auto all = allRelations();
    if (!all || (!key && !attribute))
        return all;
    Relations result;
    for (const auto& relation : *all) {
        if (hasTag(*relation, key, attribute))
            result.push_back(relation);
    }
    return result;
}

std::optional<Relations> CBGeoObject::routesOfFamily(int type) {
    auto routes = allRelationsTaggedWithKey("route_pubtrans");
    if (!routes)
        return std::nullopt;
    Relations result;
    for (const auto& relation : *routes) {
        bool matches;
        if (type == kPubTransOther) {
            // The other routes are those of none of the named families; ferries are
            // a family of their own here as in the queries' predicates.
            matches = !hasAttributeIn(*relation, pubTransAttributesOfType(kPubTransTramLike)) &&
                      !hasAttributeIn(*relation, pubTransAttributesOfType(kPubTransTrainLike)) &&
                      !hasAttributeIn(*relation, pubTransAttributesOfType(kPubTransBusLike)) &&
                      !hasAttributeIn(*relation, pubTransAttributesOfType(kPubTransFerryLike));
        } else {
            matches = hasAttributeIn(*relation, pubTransAttributesOfType(type));
        }
        if (matches)
            result.push_back(relation);
    }
    return result;
}

std::optional<Relations> CBGeoObject::allBusLikeRelations() {
    return routesOfFamily(kPubTransBusLike);
}
std::optional<Relations> CBGeoObject::allTramLikeRelations() {
    return routesOfFamily(kPubTransTramLike);
}
std::optional<Relations> CBGeoObject::allTrainLikeRelations() {
    return routesOfFamily(kPubTransTrainLike);
}
std::optional<Relations> CBGeoObject::allFerryLikeRelations() {
    return routesOfFamily(kPubTransFerryLike);
}
std::optional<Relations> CBGeoObject::otherPubTransRelations() {
    return routesOfFamily(kPubTransOther);
}

int CBGeoObject::publicTransportType() {
    auto attribute = getAttributeOfTagForKey("pubtrans");
    if (!attribute)
        return kPubTransNone;
    for (int type : {kPubTransTramLike, kPubTransBusLike, kPubTransFerryLike, kPubTransTrainLike}) {
        const auto& list = pubTransAttributesOfType(type);
        if (std::find(list.begin(), list.end(), *attribute) != list.end())
            return type;
    }
    return kPubTransOther;
}

std::optional<std::vector<std::shared_ptr<CBGeoObject>>> CBGeoObject::relatedStops() {
    auto sets = allRelationsTaggedWithKey("relatedStops");
    if (!sets || sets->empty())
        return std::nullopt;
    std::vector<std::shared_ptr<CBGeoObject>> result;
    std::set<const CBGeoObject*> seen = {this};
    for (const auto& relation : *sets) {
        auto stops = relation->stops();
        if (!stops)
            continue;
        for (const auto& stop : *stops) {
            if (seen.insert(stop.get()).second)
                result.push_back(stop);
        }
    }
    if (result.empty())
        return std::nullopt;
    std::stable_sort(result.begin(), result.end(), [](const auto& a, const auto& b) {
        return a->name().value_or("") < b->name().value_or("");
    });
    return result;
}

std::optional<std::string> CBGeoObject::pubTransRouteNamesSeparatedBy(
    const std::string& separator) {
    auto routes = allRelationsTaggedWithKey("route_pubtrans");
    if (!routes)
        return std::nullopt;
    std::set<std::string> names;
    for (const auto& route : *routes) {
        if (auto routeName = route->name())
            names.insert(*routeName);
    }
    std::string joined;
    for (const auto& routeName : names) {
        if (!joined.empty())
            joined += separator;
        joined += routeName;
    }
    return joined;
}
