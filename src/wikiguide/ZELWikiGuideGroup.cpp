#include "wikiguide/ZELWikiGuideGroup.h"

using D = ZELJSONObjectDescriptor;
using AD = ZELJSONObjectArrayDescriptor;

ZELJSONObject::Descriptors ZELWikiGuideGroup::jsonDescriptors() const {
    return {{"groups", AD::descriptorWithJsonKeyMemberValidationClassAndMemberDefaultValue(
                           "groups", ZELJSONClass::model<ZELWikiGuideGroup>("ZELWikiGuideGroup"),
                           std::nullopt, true)},
            {"articles",
             AD::descriptorWithJsonKeyMemberValidationClassAndMemberDefaultValue(
                 "articles", ZELJSONClass::model<ZELWikiGuideArticle>("ZELWikiGuideArticle"),
                 std::nullopt, true)},
            {"title", D::descriptorForStringWithDefaultWithJsonKey("title", true)},
            {"imageUrlString", D::descriptorForStringWithDefaultWithJsonKey("image", true)},
            {"typeString", D::descriptorForStringWithDefaultWithJsonKey("type", true)},
            {"groupKey", D::descriptorForStringWithDefaultWithJsonKey("groupKey", true)},
            {"path", D::descriptorWithJsonKeyValidationClassAndDefaultValue(
                         "path", ZELJSONClass::model<ZELWikiGuidePath>("ZELWikiGuidePath"),
                         std::nullopt, true)}};
}

void ZELWikiGuideGroup::jsonDidLoad() {
    // Filled through the mapper, which sets the array without setArticles.
    for (const auto& article : articles())
        article->setGroup(shared_from_this());
}

void ZELWikiGuideGroup::setArticles(const Articles& articles) {
    ZELJSONValue::Array members;
    for (const auto& article : articles) {
        article->setGroup(shared_from_this());
        members.emplace_back(std::static_pointer_cast<ZELJSONObject>(article));
    }
    setValueForProperty("articles", ZELJSONValue(std::move(members)));
}

ZELWikiGuideGroup::Articles ZELWikiGuideGroup::recursiveArticles() const {
    Articles all = articles();
    for (const auto& group : groups()) {
        const auto below = group->recursiveArticles();
        all.insert(all.end(), below.begin(), below.end());
    }
    return all;
}

ZELWikiGuideGroup::Groups ZELWikiGuideGroup::recursiveSubGroups() const {
    Groups all = groups();
    for (const auto& group : groups()) {
        const auto below = group->recursiveSubGroups();
        all.insert(all.end(), below.begin(), below.end());
    }
    return all;
}

std::vector<double> ZELWikiGuideGroup::distancesAlongWalk() const {
    std::vector<double> distances;
    for (const auto& article : articles())
        distances.push_back(article->distanceAlongWalk().value_or(-1.0));
    return distances;
}

double ZELWikiGuideGroup::timeIntervalForWalk() const {
    const auto route = path();
    if (!route)
        return 0.0;
    const double stops = static_cast<double>(articles().size());
    return stops * 900.0 + route->totalDistance().value_or(0.0) / 1000.0 * 20.0 * 60.0;
}
