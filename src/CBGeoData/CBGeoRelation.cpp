#include "CBGeoData/CBGeoRelation.h"

#include <algorithm>
#include <set>

#include "CBGeoData/CBGeoElement.h"
#include "CBGeoData/CBGeoElementInfo.h"
#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBGeoTag.h"
#include "CoreData/NSStringFolding.h"

namespace {

bool byName(const std::shared_ptr<CBGeoObject>& a, const std::shared_ptr<CBGeoObject>& b) {
    return a->name().value_or("") < b->name().value_or("");
}

}  // namespace

std::shared_ptr<CBCoordinatePath> CBGeoRelation::path() {
    auto value = transformableValueForKey("path");
    if (auto* path = std::any_cast<std::shared_ptr<CBCoordinatePath>>(&value))
        return *path;
    return nullptr;
}

std::vector<std::shared_ptr<CBGeoTag>> CBGeoRelation::tags() {
    return objectsOfClassForKey<CBGeoTag>("tags");
}

std::vector<std::shared_ptr<CBGeoElementInfo>> CBGeoRelation::elementInfos() {
    return objectsOfClassForKey<CBGeoElementInfo>("elementInfos");
}

std::vector<std::shared_ptr<CBGeoObject>> CBGeoRelation::importantObjects() {
    return objectsOfClassForKey<CBGeoObject>("importantObjects");
}

std::shared_ptr<CBBoundingBox> CBGeoRelation::bbox() {
    auto box = std::make_shared<CBBoundingBox>();
    for (const auto& info : elementInfos()) {
        auto element = info->element();
        if (!element)
            continue;
        if (!element->path()) {
            auto point = element->coordinate();
            if (CLLocationCoordinate2DIsValid(point))
                box->growToIncludeCoordinate(point);
            continue;
        }
        element->growBoundingBoxByPath(*box);
    }
    return box;
}

CLLocationCoordinate2D CBGeoRelation::coordinate() {
    return bbox()->centerCoordinate();
}

std::vector<std::shared_ptr<CBGeoTag>> CBGeoRelation::displayTags() {
    auto all = tags();
    auto relationName = name();
    if (!relationName)
        return all;
    std::vector<std::shared_ptr<CBGeoTag>> shown;
    for (const auto& tag : all) {
        if (tag->key() != "ref")
            shown.push_back(tag);
    }
    return shown;
}

std::vector<std::shared_ptr<CBGeoElementInfo>> CBGeoRelation::elementInfosWithRole(
    const std::string& role) {
    std::vector<std::shared_ptr<CBGeoElementInfo>> result;
    for (const auto& info : elementInfos()) {
        if (info->role() == role)
            result.push_back(info);
    }
    std::stable_sort(result.begin(), result.end(), [](const auto& a, const auto& b) {
        return a->order().value_or(0) < b->order().value_or(0);
    });
    return result;
}

std::vector<std::shared_ptr<CBGeoElement>> CBGeoRelation::elementsWithRole(
    const std::string& role) {
    std::vector<std::shared_ptr<CBGeoElement>> result;
    for (const auto& info : elementInfosWithRole(role)) {
        if (auto element = info->element())
            result.push_back(element);
    }
    return result;
}

std::optional<std::vector<std::shared_ptr<CBGeoObject>>> CBGeoRelation::stops() {
    std::vector<std::shared_ptr<CBGeoObject>> result;
    std::set<const CBGeoObject*> seen;
    for (const auto& info : elementInfos()) {
        auto element = info->element();
        auto object = element ? element->object() : nullptr;
        if (object && object->isTransportRelated() && seen.insert(object.get()).second)
            result.push_back(object);
    }
    if (result.empty())
        return std::nullopt;
    return result;
}

std::optional<std::vector<std::shared_ptr<CBGeoObject>>> CBGeoRelation::sortedStops() {
    auto found = stops();
    if (found)
        std::stable_sort(found->begin(), found->end(), byName);
    return found;
}

std::optional<std::vector<std::shared_ptr<CBGeoObject>>> CBGeoRelation::orderedStops() {
    std::vector<std::shared_ptr<CBGeoObject>> result;
    std::set<const CBGeoObject*> seen;
    for (const auto& element : elementsWithRole("stop")) {
        auto object = element->object();
        if (object && object->isTransportRelated() && seen.insert(object.get()).second)
            result.push_back(object);
    }
    if (result.empty())
        return sortedStops();
    return result;
}

std::vector<std::shared_ptr<CBGeoTag>> CBGeoRelation::getTagsForKey(const std::string& key) {
    std::vector<std::shared_ptr<CBGeoTag>> result;
    for (const auto& tag : tags()) {
        if (NSStringLikeMatch(tag->key(), "*" + key + "*"))
            result.push_back(tag);
    }
    return result;
}

std::shared_ptr<CBGeoTag> CBGeoRelation::getTagForKey(const std::string& key) {
    for (const auto& tag : tags()) {
        if (tag->key() == key)
            return tag;
    }
    return nullptr;
}

std::optional<std::string> CBGeoRelation::getAttributeOfTagForKey(const std::string& key) {
    auto tag = getTagForKey(key);
    if (!tag)
        return std::nullopt;
    return tag->attribute();
}

std::string CBGeoRelation::description() {
    std::string text = "CBGeoRelation with name: " + name().value_or("(null)") + " and tags:\r";
    for (const auto& tag : tags())
        text += tag->debugDescription() + "\r";
    text += "and members:\r";
    for (const auto& info : elementInfos()) {
        auto element = info->element();
        text += "elementInfo with role: " + info->role().value_or("(null)") + "\r" +
                (element ? element->debugDescription() : std::string("(null)")) + "\r";
    }
    return text;
}
